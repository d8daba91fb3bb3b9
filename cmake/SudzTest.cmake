# sudz_add_test(NAME name SOURCES a.cpp ... [LIBS lib ...] [DISPLAY] [TIMEOUT s] [LABELS l ...])
#
# Builds one GoogleTest binary and registers it as one test.
# DISPLAY runs it under its own private Xvfb server (scripts/with-xvfb),
# so that tests never draw on the user's desktop and never share a screen.
function(sudz_add_test)
  cmake_parse_arguments(T "DISPLAY" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${T_NAME} PRIVATE ${SUDZ_SRC} ${CMAKE_SOURCE_DIR}/tests)
  if(T_DISPLAY)
    add_test(NAME ${T_NAME}
             COMMAND ${CMAKE_SOURCE_DIR}/scripts/with-xvfb $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "SUDZ_BUILD_DIR=${CMAKE_BINARY_DIR};SUDZ_SOURCE_DIR=${CMAKE_SOURCE_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan.supp")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
