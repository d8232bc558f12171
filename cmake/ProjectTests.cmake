# Every file named *_test.cpp in a test folder becomes one GoogleTest
# executable, registered with CTest. GUI tests run headless on Qt's
# offscreen platform; tests that need a real X server start their own Xvfb.
include(GoogleTest)

function(tess_add_test_folder folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(source IN LISTS sources)
    get_filename_component(name ${source} NAME_WE)
    set(target ${folder}_${name})
    add_executable(${target} ${source})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    target_compile_definitions(${target} PRIVATE
      TESS_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
      TESS_BINARY_DIR="${PROJECT_BINARY_DIR}")
    tess_strict_warnings(${target})
    gtest_discover_tests(${target}
      DISCOVERY_TIMEOUT 60
      DISCOVERY_MODE PRE_TEST
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endforeach()
endfunction()
