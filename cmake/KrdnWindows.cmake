# The Windows build: what the platform's headers need to mean, GoogleTest compiled
# from Debian's sources, and the tests run under wine.
#
# Every test executable runs through scripts/wine (CMake's cross-compiling emulator)
# in a wine prefix of the build's own, made once per test run by the fixture
# "wine_prefix" and never shared with a user's ~/.wine.

# Wide-character platform calls, no min/max macros, the lean set of headers (the
# platform code includes the shell, COM and WinInet headers it needs itself), and
# Windows 7 as the oldest release the calls must exist on.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601)

find_package(Threads REQUIRED)

if(KRDN_BUILD_TESTS)
  set(KRDN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest package)")
  if(NOT EXISTS ${KRDN_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources at ${KRDN_GOOGLETEST_SOURCE}: run scripts/install-deps")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  # Its CMake project defines GTest::gtest, GTest::gtest_main and GTest::gmock.
  add_subdirectory(${KRDN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

  set(KRDN_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine CACHE PATH "The wine prefix the Windows tests run in")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine --prefix ${KRDN_WINE_PREFIX})
endif()

# A Windows path for a path of the Linux side, as wine maps the root to drive Z:.
function(krdn_wine_path out path)
  string(REPLACE "/" "\\" windows "${path}")
  set(${out} "Z:${windows}" PARENT_SCOPE)
endfunction()
