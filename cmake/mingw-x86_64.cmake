# SPDX-License-Identifier: MIT
# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (packages g++-mingw-w64-x86-64 and
# mingw-w64-x86-64-dev): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake, or `make windows`.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLON_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
