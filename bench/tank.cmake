# The heated tank's cycle cost beside the washing machine's (run by scripts/run-bench).
add_executable(tank_rate ${CMAKE_CURRENT_LIST_DIR}/tank_rate.cpp)
target_link_libraries(tank_rate PRIVATE Threads::Threads)
target_include_directories(tank_rate PRIVATE ${CMAKE_SOURCE_DIR}/tests)
