# Page turns of the paged text viewer in a 1,000,000-line text: viewer_page_turn, run under
# Xvfb by scripts/run-bench (the page list measures its rows with the display's fonts).
add_executable(viewer_page_turn ${CMAKE_CURRENT_LIST_DIR}/viewer_page_turn.cpp)
target_link_libraries(viewer_page_turn PRIVATE formspp benchmark::benchmark)
