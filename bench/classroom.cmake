# Simulator cycle counts of a whole class against a bare usleep loop (run by classroom_bench.py).
add_executable(classroom_rate ${CMAKE_CURRENT_LIST_DIR}/classroom_rate.cpp)
target_link_libraries(classroom_rate PRIVATE Threads::Threads)
