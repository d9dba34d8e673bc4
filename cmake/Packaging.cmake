# The Debian package: after the build,
#   cd build && cpack -G DEB
# writes corvintracer_<version>_<arch>.deb. It holds the Runtime component
# (programs, libraries, man pages, data) under /usr.
include_guard(GLOBAL)

set(CPACK_PACKAGE_NAME corvintracer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvintracer developers")
set(CPACK_PACKAGE_CONTACT "Corvintracer developers <corvintracer@localhost>"
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
set(CPACK_GENERATOR DEB)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};Runtime;/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The library dependencies come from dpkg-shlibdeps. Qt loads its window
# system plugin at run time, which no library lookup sees, and without it the
# program cannot open a window.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# shlibs file and ldconfig trigger for the two libraries in the package.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
