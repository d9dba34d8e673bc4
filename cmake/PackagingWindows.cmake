# The Windows installer (NSIS) and the portable ZIP, both of the Runtime
# component: the program folder of cmake/Windows.cmake.
include_guard(GLOBAL)

set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};Runtime;/")
set(CPACK_PACKAGE_FILE_NAME "corvintracer-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Corvintracer")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Corvintracer")
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/dist/windows/license.txt")

# NSIS's default stub is a 32-bit program; a 64-bit one installs into the
# real Program Files and runs where only 64-bit Windows programs can (as
# under a 64-bit-only wine).
# That is makensis -XTarget amd64-unicode, but CMake 3.25 splits
# CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS at blanks (makensis then sees "Target"
# without its parameter), so the command goes into the script instead, where
# it may stand anywhere before the first section.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "Corvintracer ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "Corvintracer")
set(CPACK_NSIS_MUI_ICON "${CMAKE_BINARY_DIR}/windows/corvintracer.ico")
set(CPACK_NSIS_MUI_UNIICON "${CMAKE_BINARY_DIR}/windows/corvintracer.ico")
set(CPACK_NSIS_INSTALLED_ICON_NAME "corvintracer.exe")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# Start menu: the program; no PATH change, no desktop icon question.
set(CPACK_PACKAGE_EXECUTABLES "corvintracer" "Corvintracer")
set(CPACK_NSIS_MODIFY_PATH OFF)
# The uninstaller removes what the installer wrote (CPack lists every file)
# and the folder when nothing else is left in it; the user's settings under
# %APPDATA%\Corvintracer stay.
include(CPack)
