#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Static analysis of the whole tree: lint.sh clang-tidy|cppcheck BUILD_DIR.
#   clang-tidy: every source file of the build's compile_commands.json (and of the fuzz tree's,
#               BUILD_DIR/fuzz, when it has been configured), with the checks of .clang-tidy.
#   cppcheck:   src/, io/, tests/ and bench/, with the project's include folders.
# Exits non-zero on any finding.
set -euo pipefail
tool=$1
build=$(cd -- "$2" && pwd)
root=$(cd -- "$(dirname -- "$0")/../.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

# The project's own source files listed in a compilation database, each once.
sources() {
    [[ -f $1/compile_commands.json ]] || return 0
    grep -o '"file": *"[^"]*"' "$1/compile_commands.json" | sed 's/.*"\([^"]*\)"$/\1/' |
        grep -E "^$root/(src|io|tests|bench)/" | sort -u
}

case $tool in
clang-tidy)
    command -v clang-tidy >/dev/null || { echo "lint: clang-tidy is not installed" >&2; exit 1; }
    [[ -f $build/compile_commands.json ]] || { echo "lint: configure $build first" >&2; exit 1; }
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    # g++'s own options that clang doesn't know are left out of the main tree's commands.
    mkdir -p "$scratch/main"
    sed 's/ -fno-gnu-unique//g' "$build/compile_commands.json" >"$scratch/main/compile_commands.json"
    list=$scratch/files
    sources "$build" | sed "s|^|$scratch/main |" >"$list"
    sources "$build/fuzz" | grep -vxF -f <(sources "$build") | sed "s|^|$build/fuzz |" >>"$list" || true
    echo "clang-tidy: $(wc -l <"$list") files"
    # One file a process, as many at once as there are cores; findings go to standard output,
    # and are looked for once all are in (a grep that stopped at the first would cut tee short).
    xargs -P "$jobs" -L 1 sh -c 'clang-tidy -p "$0" --quiet "$1" 2>/dev/null' <"$list" |
        tee "$scratch/findings"
    if grep -q -E '(warning|error):' "$scratch/findings"; then
        exit 1
    fi
    echo "clang-tidy: clean"
    ;;
cppcheck)
    command -v cppcheck >/dev/null || { echo "lint: cppcheck is not installed" >&2; exit 1; }
    cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ -j "$jobs" \
        --enable=warning,performance,portability --inline-suppr \
        --suppress=missingIncludeSystem --suppress=unmatchedSuppression -i "$root/tests/data" \
        -I "$root/src" -I "$root/io" -I "$root/tests/support" \
        "$root/src" "$root/io" "$root/tests" "$root/bench"
    echo "cppcheck: clean"
    ;;
*)
    echo "usage: lint.sh clang-tidy|cppcheck BUILD_DIR" >&2
    exit 2
    ;;
esac
