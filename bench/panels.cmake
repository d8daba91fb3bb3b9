# The operator panels: the outputs panel's eval (needs a display: run by scripts/run-bench
# under its own Xvfb, hence no bench_ prefix).
add_executable(panel_eval ${CMAKE_CURRENT_LIST_DIR}/panel_eval.cpp)
target_link_libraries(panel_eval PRIVATE formspp benchmark::benchmark)
