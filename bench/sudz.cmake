# The simulator's cycle rate against a bare usleep loop (run by scripts/run-bench).
add_executable(sim_rate ${CMAKE_CURRENT_LIST_DIR}/sim_rate.cpp)
target_link_libraries(sim_rate PRIVATE Threads::Threads)
# Shares the measuring helpers (rate_measure.h) and through them the tests' process helpers.
target_include_directories(sim_rate PRIVATE ${CMAKE_SOURCE_DIR}/tests)

# A classroom: many simulators with their controllers under one X server (scripts/run-bench).
add_executable(classroom_pairs ${CMAKE_CURRENT_LIST_DIR}/classroom_pairs.cpp)
target_link_libraries(classroom_pairs PRIVATE Threads::Threads)
target_include_directories(classroom_pairs PRIVATE ${CMAKE_SOURCE_DIR}/tests)
