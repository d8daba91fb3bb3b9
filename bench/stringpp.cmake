# String conversions against the C library: bench_stringpp.
add_executable(bench_stringpp ${CMAKE_CURRENT_LIST_DIR}/bench_stringpp.cpp)
target_link_libraries(bench_stringpp PRIVATE Stringpp benchmark::benchmark)
