# Cross build for 32-bit Windows on x86 with Debian's mingw-w64 toolchain
# (package g++-mingw-w64-i686, win32 thread model):
#   cmake -S . -B build-windows/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(UC_MINGW_PREFIX i686-w64-mingw32 CACHE STRING "Target triplet of the mingw-w64 tools")
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
