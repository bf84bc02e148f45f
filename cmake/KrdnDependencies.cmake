# Every library comes from Debian's packages and is found through pkg-config or its
# own CMake package. Imported targets are named PkgConfig::<NAME>.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo)
pkg_check_modules(PANGOFT2 REQUIRED IMPORTED_TARGET pangoft2)
# Xlib for the window roles SDL has no call for (through SDL's window information).
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(OPENSSL REQUIRED IMPORTED_TARGET libcrypto)
pkg_check_modules(PUGIXML REQUIRED IMPORTED_TARGET pugixml)
pkg_check_modules(LIBPNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
pkg_check_modules(LIBJPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)

# giflib and stb ship no pkg-config file on Debian.
find_path(GIF_INCLUDE_DIR gif_lib.h REQUIRED)
find_library(GIF_LIBRARY gif REQUIRED)
add_library(krdn_gif INTERFACE)
target_include_directories(krdn_gif SYSTEM INTERFACE ${GIF_INCLUDE_DIR})
target_link_libraries(krdn_gif INTERFACE ${GIF_LIBRARY})

find_path(STB_INCLUDE_DIR stb/stb_image.h REQUIRED)
find_library(STB_LIBRARY stb REQUIRED)
add_library(krdn_stb INTERFACE)
target_include_directories(krdn_stb SYSTEM INTERFACE ${STB_INCLUDE_DIR}/stb)
target_link_libraries(krdn_stb INTERFACE ${STB_LIBRARY})

# libunistring ships no pkg-config file on Debian either; its case mapping folds file
# names as Windows would (platform/io/case_fold.h).
find_path(UNISTRING_INCLUDE_DIR unicase.h REQUIRED)
find_library(UNISTRING_LIBRARY unistring REQUIRED)
add_library(krdn_unistring INTERFACE)
target_include_directories(krdn_unistring SYSTEM INTERFACE ${UNISTRING_INCLUDE_DIR})
target_link_libraries(krdn_unistring INTERFACE ${UNISTRING_LIBRARY})

# The names the Windows build gives the libraries it compiles itself (KrdnWindows.cmake).
add_library(krdn_pugixml INTERFACE)
target_link_libraries(krdn_pugixml INTERFACE PkgConfig::PUGIXML)
add_library(krdn_png INTERFACE)
target_link_libraries(krdn_png INTERFACE PkgConfig::LIBPNG PkgConfig::ZLIB)
add_library(krdn_sodium INTERFACE)
target_link_libraries(krdn_sodium INTERFACE PkgConfig::SODIUM)

if(KRDN_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(KRDN_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
