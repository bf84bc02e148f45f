# The Debian package of the program (scripts/package runs cpack): what cmake --install
# puts in place, under /usr, with its library dependencies worked out by dpkg-shlibdeps
# and the packages it needs at run time beyond libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krdn-repair)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velmora Online <support@velmora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Installs or repairs the Velmora game client")
set(CPACK_PACKAGE_DESCRIPTION "Pick an install folder and press Start: the tool checks every client file piece by piece,\n fetches only the missing or damaged pieces and finishes with a desktop shortcut that starts the game.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The CJK face the layouts are drawn with, fontconfig for the aliases, the CA store for
# https hosts; wine starts the Windows game, zenity is the desktop's folder picker.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, fontconfig, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine, zenity")
# The program checks its own file against its signature: the binary is shipped as built.
set(CPACK_STRIP_FILES OFF)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
include(CPack)
