# Shared part of the Windows cross builds with Debian's mingw-w64
# toolchains, included by toolchain-mingw-i686.cmake and
# toolchain-mingw-x86_64.cmake after they set UC_MINGW_PREFIX and
# CMAKE_SYSTEM_PROCESSOR. The compilers are the win32 thread model ones
# (suffix -win32): the DLLs then need no winpthread DLL.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${UC_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${UC_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${UC_MINGW_PREFIX}-windres)
set(CMAKE_AR ${UC_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${UC_MINGW_PREFIX}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${UC_MINGW_PREFIX}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${UC_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
