# Cross build for 64-bit Windows with mingw-w64 (posix threads for std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest runs the Windows test programs through the 64-bit Wine loader. Plain `wine`
# starts the 32-bit loader once wine32 is installed, and that one hands a 64-bit
# program named by a Unix path to ShellExecute, which fails in a prefix without Z:.
set(SB_WINE_LOADER /usr/lib/wine/wine64)
set(SB_WINE_ARCH win64)
set(CMAKE_CROSSCOMPILING_EMULATOR ${SB_WINE_LOADER})
