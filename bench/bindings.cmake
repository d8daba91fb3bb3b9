# One controller round in C++, through the C interface and in Python, side
# by side (run by scripts/run-bench with the Python half's script).
add_executable(python_link ${CMAKE_CURRENT_LIST_DIR}/python_link.cpp)
target_link_libraries(python_link PRIVATE IOshare)
add_dependencies(python_link IOshare_shared)
