# The exchange area: one simulator cycle's exchange, and the controller's snapshot.
add_executable(bench_ioshare ${CMAKE_CURRENT_LIST_DIR}/bench_ioshare.cpp)
target_link_libraries(bench_ioshare PRIVATE IOshare benchmark::benchmark)
