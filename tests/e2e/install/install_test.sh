#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the layout: bin/quillon with its Linux io
# library beside it (found through RUNPATH $ORIGIN), the simulated target with the quillon-sim
# launcher, and the man page, which man shows without warnings and which names every command.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1

passed=0
failures=0
pass() {
    echo "ok: $1"
    passed=$((passed + 1))
}
fail() {
    echo "FAILED: $1"
    failures=$((failures + 1))
}
check() { # name, command...
    local name=$1
    shift
    if "$@"; then pass "$name"; else fail "$name"; fi
}

prefix=$(mktemp -d "${TMPDIR:-/tmp}/quillon-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

check "program installed" test -x "$prefix/bin/quillon"
check "io library beside it" test -f "$prefix/bin/libio.so"
check "simulated target installed" test -f "$prefix/lib/quillon/sim/libio.so"
check "quillon-sim launcher installed" test -x "$prefix/bin/quillon-sim"
check "man page installed" test -f "$prefix/share/man/man1/quillon.1"
check "wiring drawing installed" test -f "$prefix/share/doc/quillon/wiring.svg"
runpath=$(readelf -d "$prefix/bin/quillon" | grep -E 'RUNPATH' || true)
check "RUNPATH is \$ORIGIN alone" grep -qF 'Library runpath: [$ORIGIN]' <<<"$runpath"

# The installed program reaches the parallel port through its own library; on a machine without
# one that library says so and the adapter shows as missing.
out=$(env -u LD_LIBRARY_PATH "$prefix/bin/quillon" -i </dev/null 2>"$prefix/err.txt")
check "installed program ends normally" grep -q 'Program finished!' <<<"$out"
if [[ ! -e /dev/parport0 ]]; then
    check "installed program uses its ppdev library" grep -q '/dev/parport0 not found' "$prefix/err.txt"
    check "no parallel port: adapter missing" grep -q 'Tarvik not installed' <<<"$out"
fi

# The launcher, also called through a link from elsewhere, runs it with the simulated target.
ln -s "$prefix/bin/quillon-sim" "$prefix/sim-link"
out=$("$prefix/sim-link" -i </dev/null 2>&1 || true)
check "quillon-sim finds the simulated adapter" \
    bash -c 'grep -q "Program finished!" <<<"$1" && ! grep -q "Tarvik not installed" <<<"$1"' _ "$out"
check "quillon-sim greets the simulated ATmega16" grep -q 'Processor: ATmega16' <<<"$out"

# The man page: man renders it without complaint and names every command word.
if command -v man >/dev/null; then
    page=$(MANWIDTH=100 MAN_KEEP_FORMATTING= man --warnings -l "$prefix/share/man/man1/quillon.1" \
        2>"$prefix/man-warnings.txt" | col -b)
    check "man shows the page" grep -q 'quillon - program AVR ATmega' <<<"$page"
    check "man reports no warnings" test ! -s "$prefix/man-warnings.txt"
    for section in COMMANDS "SETTINGS AND THEIR LIFETIMES" "SIMULATED TARGET" "EXIT STATUS" FILES; do
        check "man page has $section" grep -q "^$section" <<<"$page"
    done
    # Each command word heads an entry (.TP) of its own or shares one: "\fBdf\fP\fIfile\fP",
    # ".B nv", ".BR m \", \" q".
    tags=$(awk 'previous == ".TP" { print } { previous = $0 }' "$prefix/share/man/man1/quillon.1")
    for word in df de ld uf ue lf mf sf gl pl gf1 gf2 gf3 gf a pfa pf1 pf2 pf3 gc i s v nv t2 t4 m q h e; do
        grep -qE "\\\\fB$word\\\\fP|^\\.BR? $word( |\$)|^\\.BR .* \"? ?$word\"?( |\$)" <<<"$tags" ||
            fail "man page describes the command $word"
    done
    for variable in QUILLON_SIM_DEVICE QUILLON_SIM_STATE QUILLON_SIM_FAULTS QUILLON_SIM_TRACE; do
        grep -q "$variable" <<<"$page" || fail "man page names $variable"
    done
    pass "man page names every command and simulator variable"
else
    echo "man is not installed: man page checks skipped"
fi

echo "install test: $passed passed, $failures failed"
[[ $failures == 0 ]]
