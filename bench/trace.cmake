# sudz-trace: added latency, processor use, cycle rate and trace size (run by scripts/run-bench).
add_executable(trace_bench ${CMAKE_CURRENT_LIST_DIR}/trace_bench.cpp)
target_link_libraries(trace_bench PRIVATE plantkit IOshare Threads::Threads)
target_include_directories(trace_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
