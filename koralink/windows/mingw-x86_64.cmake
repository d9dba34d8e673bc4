# Cross-compiling the project for 64-bit Windows with Debian's mingw-w64.
# The "-posix" flavour of the compiler: the library's background exchanges
# use std::thread and std::mutex, which the "-win32" flavour of GCC 12 lacks;
# its winpthread is linked statically (corvin_static_runtime).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# At -O3 GCC 12 reports false -Wrestrict overlaps inside std::string (GCC bug
# 105329), which -DCORVIN_WERROR=ON turns into errors.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
