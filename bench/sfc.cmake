# sudz-sfc: one scan of a 100-step chart (processor use of the program: scripts/bench-sudz-sfc).
add_executable(bench_sfc_scan ${CMAKE_CURRENT_LIST_DIR}/bench_sfc_scan.cpp)
target_link_libraries(bench_sfc_scan PRIVATE plcengine benchmark::benchmark)
