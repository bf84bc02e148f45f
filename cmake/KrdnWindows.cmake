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

# The build players download: unused functions and data are left out at link time and
# the symbols stripped, so the exe holds only what runs.
option(KRDN_STRIP "Leave out unused sections and strip the executables" OFF)
if(KRDN_STRIP)
  add_compile_options(-ffunction-sections -fdata-sections)
  add_link_options(-s -Wl,--gc-sections)
endif()

find_package(Threads REQUIRED)
# Mends lost wake-ups in the C++ library's waits (KrdnWaitFix.cmake).
include(KrdnWaitFix)
# Resource scripts (KrdnResources.cmake) compile with windres.
enable_language(RC)

# The libraries the toolkit needs that Windows does not have, each compiled here from
# Debian: pugixml, libpng and libsodium from their source packages (scripts/install-deps
# unpacks them into build/debian-sources), zlib from libz-mingw-w64-dev, stb_image from the
# header of libstb-dev, its implementation compiled here.
set(KRDN_DEBIAN_SOURCES ${PROJECT_SOURCE_DIR}/build/debian-sources CACHE PATH
    "Unpacked Debian source packages of the Windows build (scripts/install-deps)")
foreach(package pugixml libpng1.6 libsodium)
  if(NOT EXISTS ${KRDN_DEBIAN_SOURCES}/${package}/.unpacked)
    message(FATAL_ERROR "No Debian source of ${package} in ${KRDN_DEBIAN_SOURCES}: run scripts/install-deps windows")
  endif()
endforeach()

set(pugixml_dir ${KRDN_DEBIAN_SOURCES}/pugixml/src)
add_library(krdn_pugixml STATIC ${pugixml_dir}/pugixml.cpp)
target_include_directories(krdn_pugixml SYSTEM PUBLIC ${pugixml_dir})

# The static library, so that every executable is one file without zlib1.dll.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)  # /usr/x86_64-w64-mingw32 (libz-mingw-w64-dev)
set(png_dir ${KRDN_DEBIAN_SOURCES}/libpng1.6)
set(png_config ${CMAKE_BINARY_DIR}/debian-sources/libpng)
configure_file(${png_dir}/scripts/pnglibconf.h.prebuilt ${png_config}/pnglibconf.h COPYONLY)
add_library(krdn_png STATIC)
foreach(file png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans pngwio
             pngwrite pngwtran pngwutil)
  target_sources(krdn_png PRIVATE ${png_dir}/${file}.c)
endforeach()
target_include_directories(krdn_png SYSTEM PUBLIC ${png_dir} ${png_config})
target_compile_definitions(krdn_png PRIVATE PNG_ARM_NEON_OPT=0 PNG_INTEL_SSE_OPT=0)
target_link_libraries(krdn_png PUBLIC ZLIB::ZLIB)

# libsodium for the release signatures, its portable C only: a run checks a few
# signatures, so the hand-tuned variants its own build adds per CPU are not worth a
# build of theirs here. version.h is made from its template, as its configure does.
set(sodium_root ${KRDN_DEBIAN_SOURCES}/libsodium)
set(sodium_dir ${sodium_root}/src/libsodium)
set(sodium_config ${CMAKE_BINARY_DIR}/debian-sources/libsodium)
file(READ ${sodium_root}/configure.ac sodium_configure)
string(REGEX MATCH "AC_INIT\\(\\[libsodium\\],\\[([0-9.]+)\\]" _ "${sodium_configure}")
set(VERSION ${CMAKE_MATCH_1})
string(REGEX MATCH "SODIUM_LIBRARY_VERSION_MAJOR=([0-9]+)" _ "${sodium_configure}")
set(SODIUM_LIBRARY_VERSION_MAJOR ${CMAKE_MATCH_1})
string(REGEX MATCH "SODIUM_LIBRARY_VERSION_MINOR=([0-9]+)" _ "${sodium_configure}")
set(SODIUM_LIBRARY_VERSION_MINOR ${CMAKE_MATCH_1})
if(NOT VERSION OR NOT SODIUM_LIBRARY_VERSION_MAJOR OR NOT SODIUM_LIBRARY_VERSION_MINOR)
  message(FATAL_ERROR "libsodium: no version in ${sodium_root}/configure.ac")
endif()
set(SODIUM_LIBRARY_MINIMAL_DEF "")
configure_file(${sodium_dir}/include/sodium/version.h.in ${sodium_config}/sodium/version.h @ONLY)
# Beside it, the header it includes by its own folder.
configure_file(${sodium_dir}/include/sodium/export.h ${sodium_config}/sodium/export.h COPYONLY)
file(GLOB_RECURSE sodium_sources CONFIGURE_DEPENDS ${sodium_dir}/*.c)
add_library(krdn_sodium STATIC ${sodium_sources})
target_include_directories(krdn_sodium SYSTEM PUBLIC ${sodium_config} ${sodium_dir}/include
                           PRIVATE ${sodium_config}/sodium ${sodium_dir}/include/sodium)
target_compile_definitions(krdn_sodium PUBLIC SODIUM_STATIC
                           PRIVATE CONFIGURED=1 NATIVE_LITTLE_ENDIAN HAVE_TI_MODE)
target_link_libraries(krdn_sodium PUBLIC advapi32)  # RtlGenRandom

set(stb_impl ${CMAKE_BINARY_DIR}/debian-sources/stb_image.c)
file(CONFIGURE OUTPUT ${stb_impl} CONTENT "#define STB_IMAGE_IMPLEMENTATION\n#include <stb_image.h>\n")
add_library(krdn_stb STATIC ${stb_impl})
target_include_directories(krdn_stb SYSTEM PUBLIC /usr/include/stb)

if(KRDN_BUILD_TESTS)
  set(KRDN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest package)")
  if(NOT EXISTS ${KRDN_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources at ${KRDN_GOOGLETEST_SOURCE}: run scripts/install-deps windows")
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
