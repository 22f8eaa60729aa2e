# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# Sourced by the tests' shell scripts: check NAME COMMAND... runs a command and prints "ok: NAME"
# or "FAILED: NAME", counting the failures in $failures; has TEXT PART says whether TEXT holds PART.
failures=0
check() { # name, command...
    local name=$1
    shift
    if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; failures=$((failures + 1)); fi
}
has() { grep -qF -- "$2" <<<"$1"; } # text, part
