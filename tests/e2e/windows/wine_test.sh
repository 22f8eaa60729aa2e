#!/usr/bin/env bash
# The Windows build under Wine: quillon.exe is a statically linked PE32 console program; with the
# simulated io.dll beside it, it greets a simulated ATmega16, downloads a HEX file into flash and
# uploads it again as a text file with CR LF line ends, and its closing key wait ends when a key
# arrives on standard input.
# Usage: wine_test.sh SOURCE_DIR WINDOWS_BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2

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
expect_text() { # name, file, text expected somewhere in it
    if grep -qF -- "$3" "$2"; then pass "$1"; else
        fail "$1: '$3' not in $2:"
        cat "$2"
        echo
        echo
    fi
}

# Bring the Windows build up to date (it is made by `make windows`; this keeps ctest alone
# enough).
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$source_dir" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-i686.cmake" \
        -DQUILLON_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j 2 >/dev/null

# Wine headless, quiet, in a fresh prefix of its own under the build folder.
export WINEPREFIX=$build/wine-test-prefix
export WINEDEBUG=-all WINEARCH=win32 WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY WAYLAND_DISPLAY
rm -rf "$WINEPREFIX"
work=$(mktemp -d "$build/wine-test.XXXXXX")
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work" "$WINEPREFIX"
}
trap cleanup EXIT

# The program: a 32-bit PE console program that needs only the system's own DLLs.
headers=$(i686-w64-mingw32-objdump -p "$build/quillon.exe")
grep -q 'Magic.*010b' <<<"$headers" && pass "quillon.exe is PE32" || fail "quillon.exe is not PE32"
grep -q 'Subsystem.*(Windows CUI)' <<<"$headers" && pass "console subsystem" ||
    fail "quillon.exe is not a console program"
imports=$(grep 'DLL Name' <<<"$headers" | awk '{print tolower($3)}' | sort -u | tr '\n' ' ')
if [[ $imports == "kernel32.dll msvcrt.dll " ]]; then pass "static: imports $imports"; else
    fail "quillon.exe imports more than the system's DLLs: $imports"
fi
exports=$(i686-w64-mingw32-objdump -p "$build/io.dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
for entry in PortOut PortWordOut PortDWordOut PortIn PortWordIn PortDWordIn SetPortBit ClrPortBit \
    NotPortBit GetPortBit RightPortShift LeftPortShift IsDriverInstalled; do
    grep -qE "\] $entry\$" <<<"$exports" || fail "io.dll does not export $entry undecorated"
done
pass "io.dll exports the thirteen entry points"

cp "$build/quillon.exe" "$build/io.dll" "$work/"
cd "$work"

# The first start sets the prefix up; it must not ask anything or need a display.
started=$SECONDS
wine quillon.exe -h </dev/null >start.out 2>start.err || true
echo "Wine's first start took $((SECONDS - started)) s"

# Start-up and greeting of a simulated ATmega16.
status=0
QUILLON_SIM_DEVICE=ATmega16 timeout 120 wine quillon.exe -i </dev/null >greet.out 2>greet.err ||
    status=$?
[[ $status == 0 ]] && pass "greeting run exits with 0" || fail "greeting run exit status $status"
tr -d '\r' <greet.out >greet.txt
expect_text "delay line" greet.txt "Delay parameter for 1 usec is "
expect_text "banner" greet.txt "Quillon Programming Utility V0.97"
expect_text "greeting" greet.txt "Target ATmega16 responding - default fuses not set"
expect_text "identify" greet.txt "Signature bytes: 1e 94 3  Processor: ATmega16"
expect_text "closing line" greet.txt "Program finished!"
# Every line but the last ("Program finished!", which has no line end) ends in CR LF.
if [[ $(head -n -1 greet.out | grep -vc $'\r$') == 0 ]]; then
    pass "console lines end in CR LF"
else
    fail "console lines don't end in CR LF"
fi

# A df/uf round trip: the HEX file goes in with Unix line ends and comes back written through a
# text-mode stream, with CR LF.
printf ':100000000c942a000c9434000c9434000c943400aa\n:0400100011241fbeda\n:00000001FF\n' >prog.hex
status=0
timeout 120 wine quillon.exe -dfprog.hex -ufout.hex </dev/null >trip.out 2>trip.err || status=$?
[[ $status == 0 ]] && pass "round trip exits with 0" || fail "round trip exit status $status"
tr -d '\r' <trip.out >trip.txt
for line in "load file length = 20" "Erase chip" "Programming" "20 bytes written to target" \
    "Read back target to verify" "Read 16384 target flash bytes" "Target matches prog.hex" \
    "Last data value in buffer = 14 20" "Write Flash/EEPROM data to out.hex"; do
    expect_text "round trip: $line" trip.txt "$line"
done
expected=$(printf ':100000000c942a000c9434000c9434000c943400aa\r\n:0400100011241fbeda\r\n:00000001FF\r\n' | od -c)
if [[ -f out.hex && $(od -c <out.hex) == "$expected" ]]; then
    pass "uploaded file holds the program, CR LF line ends"
else
    fail "uploaded file differs:"
    od -c out.hex 2>/dev/null | head -20 || true
fi

# The key wait: the program stays until a key arrives on standard input, then ends with 0.
mkfifo keys
(
    status=0
    timeout 120 wine quillon.exe -i <keys >wait.out 2>wait.err || status=$?
    echo "$status" >wait.status
) &
waiter=$!
exec 3>keys
for _ in $(seq 1 300); do
    grep -q 'Program finished!' wait.out 2>/dev/null && break
    sleep 0.2
done
sleep 1
if [[ -f wait.status ]]; then fail "the key wait ended before a key came"; else
    pass "waits for a key after the closing line"
fi
echo >&3
exec 3>&-
for _ in $(seq 1 100); do
    [[ -f wait.status ]] && break
    sleep 0.1
done
if [[ -f wait.status && $(cat wait.status) == 0 ]]; then pass "a key on standard input ends the wait"; else
    fail "the key did not end the wait (status $(cat wait.status 2>/dev/null || echo none))"
fi
wait "$waiter" || true

echo "wine test: $passed passed, $failures failed"
[[ $failures == 0 ]]
