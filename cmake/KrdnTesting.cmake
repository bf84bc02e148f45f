# krdn_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [ENV ...] [TIMEOUT s])
#
# One GoogleTest executable registered as one CTest test. LABELS select the extra CI
# runs: 'asan' (engine and parsers, rebuilt with address+undefined) and 'tsan'
# (threaded code, rebuilt with thread sanitizer); 'xvfb' marks tests that need a
# real X server (the test command runs the suite under xvfb-run). In the Windows
# build each test runs under wine (the cross-compiling emulator). Labelled tests are
# also collected into the targets asan-tests and tsan-tests, so a sanitizer build
# compiles only what it runs.
add_custom_target(asan-tests)
add_custom_target(tsan-tests)

function(krdn_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE krdn_warnings GTest::gtest GTest::gtest_main GTest::gmock ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    if("asan" IN_LIST T_LABELS)
      add_dependencies(asan-tests ${name})
    endif()
    if("tsan" IN_LIST T_LABELS)
      add_dependencies(tsan-tests ${name})
    endif()
    # X server tests share one display, its pointer and its keyboard focus: one at a time
    # (a test that drags with the real pointer must have no other windows under it).
    if("xvfb" IN_LIST T_LABELS)
      set_tests_properties(${name} PROPERTIES RESOURCE_LOCK x_server_pointer)
    endif()
  endif()
  # Runs write their logs to the user's state folder: the tests' go to one of the build's.
  set(environment "XDG_STATE_HOME=${CMAKE_BINARY_DIR}/test-state" ${T_ENV})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}")
endfunction()

# krdn_add_wine_fixture(): the test run's wine prefix, made before the first Windows
# test and its server ended after the last (see scripts/wine).
function(krdn_add_wine_fixture)
  add_test(NAME wine_prefix COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine --prefix ${KRDN_WINE_PREFIX} --init)
  add_test(NAME wine_prefix_stop COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine --prefix ${KRDN_WINE_PREFIX} --stop)
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine)
endfunction()

# krdn_windows_differences(<test> <Suite.Case>...): cases of a test that do not run in
# the Windows build, because what they check is the Linux layer's own behaviour where
# the platform (wine's USER32 and riched20 on an X server without a window manager)
# behaves otherwise. The call site says why; the Linux build runs every case.
function(krdn_windows_differences test)
  if(NOT WIN32)
    return()
  endif()
  list(JOIN ARGN ":" cases)
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "GTEST_FILTER=-${cases}")
endfunction()
