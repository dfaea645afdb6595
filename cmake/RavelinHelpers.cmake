# ravelin_add_test(NAME SOURCES file... LIBS target... [GUI])
# One test executable per test file, registered with CTest. GUI tests run on
# the offscreen platform so they never need a display.
function(ravelin_add_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  # A listed test source that is gone must stop the build, not quietly
  # drop the test from the suite.
  foreach(src ${T_SOURCES})
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${src})
      message(FATAL_ERROR "Test ${name}: source ${src} is missing")
    endif()
  endforeach()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock ravelin_warnings ravelin_options)
  # Helpers shared by several test folders: #include "common/...".
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(T_GUI)
    target_link_libraries(${name} PRIVATE ravelin_testmain_gui)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set(env
    "QT_QPA_PLATFORM=offscreen"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()
