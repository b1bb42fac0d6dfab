# The Debian package: `cmake --build --preset package --target package` (or the default preset)
# gives z900_<version>-<release>_<arch>.deb in the build folder, with what `cmake --install` puts
# down. The programs know their data folders by the prefix they were configured with, so the
# package is built for /usr alone.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME z900)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${Z900_PACKAGE_RELEASE})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_CONTACT ${Z900_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration utility for the Z900 gaming mouse")
# Lines of the extended description, as they appear in the package (at most 80 columns).
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Sets the button functions, DPI stages, report rate and lighting of both\n"
    "onboard modes of the Z900 wired gaming mouse, records keyboard macros for it,\n"
    "keeps five profiles and selects one by itself while a chosen program is in\n"
    "the foreground. The tray utility z900-config carries out the host actions of\n"
    "the mouse's buttons; z900ctl does the same from the command line. A udev rule\n"
    "lets the user at the seat reach the mouse without root.")
set(CPACK_STRIP_FILES ON)
# The autostart entry goes to /etc, outside the prefix: staged through DESTDIR like the rest.
set(CPACK_SET_DESTDIR ON)
# Directories 0755 whatever the umask of the one who builds.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://z900.example/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xdg-open opens what the host actions and the update check name.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
# Found at run time by their names, unseen by shlibdeps: the skin's font, and the libraries the
# programs open when they first need them (downloads, sounds, the X11 keyboard hook).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-open-sans, libcurl4, libcanberra0, libxi6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/resources/package/postinst
                                       ${PROJECT_SOURCE_DIR}/resources/package/prerm
                                       ${PROJECT_SOURCE_DIR}/resources/package/postrm
                                       ${PROJECT_SOURCE_DIR}/resources/package/triggers)
string(REPLACE ";" "\n" Z900_CONFFILES_LINES "${Z900_CONFFILES}")
file(WRITE ${CMAKE_BINARY_DIR}/conffiles "${Z900_CONFFILES_LINES}\n")
list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/Z900CPackConfig.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
     "if(NOT CPACK_PACKAGING_INSTALL_PREFIX STREQUAL \"/usr\")\n"
     "  message(FATAL_ERROR \"The package is built for /usr, but this build folder was "
     "configured with CMAKE_INSTALL_PREFIX=\${CPACK_PACKAGING_INSTALL_PREFIX}: configure it with "
     "-DCMAKE_INSTALL_PREFIX=/usr (the default and package presets do).\")\n"
     "endif()\n")
include(CPack)
