# shellcheck shell=bash disable=SC2154 # source_dir, build and arch are the sourcing script's
# SPDX-License-Identifier: MIT
# Sourced by the Wine tests with $source_dir, $build (a Windows build folder) and $arch (win32 or
# win64) set: skips the test (77) where the MinGW-w64 cross compiler or Wine for $arch is missing,
# sets $tools (the binutils' prefix) and $wine, brings the build up to date (`make windows` makes
# it; this keeps ctest alone enough) with the targets given to wine_build, and wine_prefix NAME
# runs Wine headless and quiet in a prefix of its own under the build folder, kept for the next
# run since setting one up takes most of a minute.
# shellcheck source=tests/support/checks.sh
source "$source_dir/tests/support/checks.sh"
case $arch in
win32) toolchain=mingw-i686.cmake tools=i686-w64-mingw32 wine=wine ;;
win64) toolchain=mingw-x86_64.cmake tools=x86_64-w64-mingw32 wine=/usr/lib/wine/wine64 ;;
*) echo "usage: $0 SOURCE_DIR WINDOWS_BUILD_DIR win32|win64" >&2 && exit 2 ;;
esac
if ! command -v "$tools-g++" >/dev/null || ! command -v "$wine" >/dev/null; then
    echo "skipped: needs $tools-g++ and $wine"
    exit 77
fi

wine_build() { # [target...]: the whole build without targets
    if [[ ! -f $build/CMakeCache.txt ]]; then
        cmake -S "$source_dir" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/$toolchain" \
            -DQUILLON_TESTS=OFF >/dev/null || exit 1
    fi
    local targets=()
    if (($#)); then targets=(--target "$@"); fi
    cmake --build "$build" -j 2 "${targets[@]}" >/dev/null || exit 1
}

wine_prefix() { # name
    export WINEPREFIX=$build/$1 WINEDEBUG=-all WINEARCH=$arch
    export WINEDLLOVERRIDES="mscoree=;mshtml="
    unset DISPLAY WAYLAND_DISPLAY
}
