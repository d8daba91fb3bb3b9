# The moving-part library: moveredraw among 100 pieces, drawn into a window (needs a display:
# scripts/run-bench runs it under Xvfb).
add_executable(xbench_moving_parts ${CMAKE_CURRENT_LIST_DIR}/bench_moving_parts.cpp)
target_link_libraries(xbench_moving_parts PRIVATE objgraphiques benchmark::benchmark)
