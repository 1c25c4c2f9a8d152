# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads, for std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BV_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${BV_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BV_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${BV_MINGW}-windres)

# Headers and libraries for Windows only: Debian's MinGW-w64 root and the libraries our
# script builds from Debian's sources (BVBACKUP_LIBRERIE_WINDOWS).
set(CMAKE_FIND_ROOT_PATH /usr/${BV_MINGW} ${BVBACKUP_LIBRERIE_WINDOWS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BVBACKUP_LIBRERIE_WINDOWS)
# Static libraries where both exist (zlib): the executables need no DLL beside them.
set(ZLIB_USE_STATIC_LIBS ON)
