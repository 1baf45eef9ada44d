# What `cmake --install` puts where, and the .deb that `make package` builds.

# udev reads only /usr/lib/udev/rules.d (and /etc), never /usr/local: with another prefix the
# rule still goes where udev finds it.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(_udev_default "lib/udev/rules.d")
else()
  set(_udev_default "/usr/lib/udev/rules.d")
endif()
set(KORVIS_UDEV_RULES_DIR "${_udev_default}" CACHE STRING "Where the programmers' udev rule is installed")

install(FILES dist/linux/70-korvis-programmer.rules DESTINATION ${KORVIS_UDEV_RULES_DIR})
install(FILES dist/linux/korvis.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES dist/linux/korvis-48.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
        RENAME korvis.png)
install(FILES dist/linux/korvis.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES dist/linux/korvis.1 dist/linux/lmk.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(DIRECTORY dist/firmware/ DESTINATION ${CMAKE_INSTALL_DATADIR}/korvis/firmware)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "korvis")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Informer Timora")
set(CPACK_PACKAGE_CONTACT "Korvis developers <korvis@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Route group builder and cartridge writer for transport informers")
set(CPACK_PACKAGE_DESCRIPTION "Korvis builds route groups (route, stop-template and voice files) into the
cartridge images of on-board public-transport informers and writes them through up to 16 LMK USB
programmers at once, keeping the programmers' firmware current. korvis is the Qt desktop program,
lmk its command-line twin.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/dist/linux/postinst")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
