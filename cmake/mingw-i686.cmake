# SPDX-License-Identifier: MIT
# Cross-compiling for 32-bit Windows with Debian's MinGW-w64 (packages g++-mingw-w64-i686 and
# mingw-w64-i686-dev): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake, or `make windows`.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUILLON_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
