#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs one fuzzer for a bounded time: run_fuzzer.sh FUZZ_BUILD_DIR NAME SECONDS [libFuzzer flags].
# The committed seeds in tests/fuzz/corpus/NAME are read, never written; what the fuzzer finds
# goes to FUZZ_BUILD_DIR/corpus/NAME (kept between runs) and crash files to
# FUZZ_BUILD_DIR/findings/NAME. With QUILLON_FUZZ_QUICK set (the test suite's short runs) the
# corpus is a fresh folder removed afterwards, so that the run starts from the seeds alone and
# its time goes to fuzzing rather than to replaying what long runs collected.
set -euo pipefail
build=$(cd -- "$1" && pwd) name=$2 seconds=$3 # absolute: the interpreter fuzzer changes folder
shift 3
here=$(cd -- "$(dirname -- "$0")" && pwd)
binary=$build/${name}_fuzz
if [[ ! -x $binary ]]; then
    echo "run_fuzzer: $binary is missing: build the quillon_fuzzers target first" >&2
    exit 1
fi
corpus=$build/corpus/$name
if [[ -n ${QUILLON_FUZZ_QUICK:-} ]]; then
    corpus=$(mktemp -d "${TMPDIR:-/tmp}/quillon-$name-XXXXXX")
    trap 'rm -rf "$corpus"' EXIT
fi
mkdir -p "$corpus" "$build/findings/$name"
options=()
[[ -f $here/$name.dict ]] && options+=("-dict=$here/$name.dict")
[[ -f $here/$name.options ]] && read -r -a extra <"$here/$name.options" && options+=("${extra[@]}")
"$binary" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/findings/$name/" "${options[@]}" "$@" \
    "$corpus" "$here/corpus/$name"
