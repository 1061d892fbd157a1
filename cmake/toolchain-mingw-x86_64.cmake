# Cross build for 64-bit Windows on x86-64 with Debian's mingw-w64 toolchain
# (package g++-mingw-w64-x86-64, win32 thread model):
#   cmake -S . -B build-windows/x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(UC_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Target triplet of the mingw-w64 tools")
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
