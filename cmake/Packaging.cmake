# The Debian package: after the build,
#   cd build && cpack -G DEB
# writes corvintracer_<version>_<arch>.deb. It holds the Runtime component
# (programs, libraries, man pages, data) under /usr.
# A Windows build makes the installer and the portable archive instead:
#   cd build-win && cpack -G NSIS    (corvintracer-<version>-win64.exe)
#   cd build-win && cpack -G ZIP     (corvintracer-<version>-win64.zip)
include_guard(GLOBAL)

set(CPACK_PACKAGE_NAME corvintracer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvintracer developers")
set(CPACK_PACKAGE_CONTACT "Corvintracer developers <developers@corvintracer.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "find sensors on serial ports, USB adapters and Ethernet converters")
set(CPACK_PACKAGE_DESCRIPTION
    "Corvintracer lists the serial ports, the USB serial adapters and the
Ethernet-to-serial converter modules on the local network, asks each for a
sensor (serial number, version, the rate it answers at) and sets up the link
to the one chosen. It also configures the converter modules and the serial
rate of a sensor.

The package holds the desktop program, the headless scan command, the
simulator that runs them in a lab of simulated devices, the COM-port locator
library with its command, and the protocol documents.")
if(WIN32)
    include(PackagingWindows)
    return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};${PROJECT_NAME};Runtime;/"
    "${CMAKE_BINARY_DIR};${PROJECT_NAME};Deb;/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The library dependencies come from dpkg-shlibdeps. Qt loads its window
# system plugin at run time, which no library lookup sees, and without it the
# program cannot open a window.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# shlibs file for the two libraries in the package. dpkg's ldconfig trigger
# refreshes the library cache, so the package has no maintainer scripts:
# with a postrm, "apt remove" would leave it behind in the "rc" state.
# CPack writes postinst and postrm with ldconfig calls unless it is given
# files of those names; naming files that do not exist gives none at all.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(debian "${CMAKE_SOURCE_DIR}/dist/debian")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${debian}/triggers"
    "${CMAKE_BINARY_DIR}/debian/none/postinst" "${CMAKE_BINARY_DIR}/debian/none/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# What a Debian package carries besides the program (component Deb, which
# only the package installs): the change log and lintian's notes. The
# copyright file goes with every install.
set(docdir "${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME}")
install(FILES "${debian}/copyright" DESTINATION "${docdir}" COMPONENT Runtime)
string(TIMESTAMP CORVIN_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(changelog "${CMAKE_BINARY_DIR}/debian/changelog")
configure_file("${debian}/changelog.in" "${changelog}" @ONLY)
add_custom_command(OUTPUT "${changelog}.gz"
    COMMAND gzip -9nkf "${changelog}"
    DEPENDS "${changelog}" VERBATIM)
add_custom_target(corvin_deb_changelog ALL DEPENDS "${changelog}.gz")
install(FILES "${changelog}.gz" DESTINATION "${docdir}" COMPONENT Deb EXCLUDE_FROM_ALL)
install(FILES "${debian}/lintian-overrides" DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides"
    RENAME ${CPACK_PACKAGE_NAME} COMPONENT Deb EXCLUDE_FROM_ALL)

include(CPack)
