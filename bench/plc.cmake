# sudz-plc: one scan of a 100-rung ladder with 20 timers.
add_executable(bench_plc_scan ${CMAKE_CURRENT_LIST_DIR}/bench_plc_scan.cpp)
target_link_libraries(bench_plc_scan PRIVATE plcengine benchmark::benchmark)
