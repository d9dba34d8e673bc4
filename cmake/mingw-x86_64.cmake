# The one toolchain file of every Windows build of the project: 64-bit
# Windows with Debian's mingw-w64, e.g.
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
# The "-posix" flavour of the compilers: the library's background exchanges
# use std::thread and std::mutex, which the "-win32" flavour of GCC 12 lacks,
# and the Qt for Windows in ../shared/qt6-windows was built with it too, so
# that the program and Qt share one C++ run-time.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# Headers and libraries from the cross root only; packages (Qt) from
# CMAKE_PREFIX_PATH as well, programs (moc, uic, rcc: QT_HOST_PATH) from the
# build machine.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# At -O3 GCC 12 reports false -Wrestrict overlaps inside std::string (GCC bug
# 105329), which -DCORVIN_WERROR=ON turns into errors.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
