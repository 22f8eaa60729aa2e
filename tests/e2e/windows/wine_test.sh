#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A Windows build under Wine: quillon.exe is a statically linked PE32 (win32) or PE32+ (win64)
# console program; with the simulated io.dll beside it, it greets a simulated ATmega16, downloads a
# HEX file into flash and uploads it again as a text file with CR LF line ends, and its closing key
# wait ends when a key arrives on standard input. Then the InpOut32 io.dll (inpout/io.dll): without
# InpOut's DLL, with its driver closed and with a bad QUILLON_INPOUT it says so in one line and
# quillon finds no adapter; over the stand-in InpOut DLL (standin/) it drives the simulated chip
# through the same round trip, and with QUILLON_INPOUT=hold=300 its instructions take as long as
# 300 µs a port write makes them. Last the USBasp io.dll (usbasp/io.dll): without libusb-1.0.dll,
# and for a USBasp without a WinUSB driver, it names what to install in one line; over the
# stand-in libusb-1.0.dll (an emulated USBasp on the simulated chip) it makes the round trip.
# Usage: wine_test.sh SOURCE_DIR WINDOWS_BUILD_DIR win32|win64
set -uo pipefail
source_dir=$1
build=$2
arch=$3
# shellcheck source=tests/e2e/windows/wine_setup.sh
source "$source_dir/tests/e2e/windows/wine_setup.sh"
case $arch in
win32) magic=010b inpout=inpout32.dll ;;
win64) magic=020b inpout=inpoutx64.dll ;;
esac
wine_build
wine_build inpout_standin libusb_standin

# Some kernels have no 32-bit execution at all; Wine can't start quillon.exe there, so the runs are
# skipped, not failed. The 32-bit dynamic loader tells at once, before a prefix is set up.
if [[ $arch == win32 ]] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "skipped: this kernel can't start 32-bit programs, so Wine can't run quillon.exe"
    exit 77
fi

# The runs' files go into a folder of their own.
wine_prefix wine-test-prefix
work=$(mktemp -d "$build/wine-test.XXXXXX")
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT

# The program: a PE console program that needs only the system's own DLLs; both io.dll export the
# thirteen entry points undecorated, and the stand-in exports InpOut's three.
headers=$("$tools-objdump" -p "$build/quillon.exe")
check "quillon.exe is $arch" grep -q "Magic.*$magic" <<<"$headers"
check "console subsystem" grep -q 'Subsystem.*(Windows CUI)' <<<"$headers"
imports=$(grep 'DLL Name' <<<"$headers" | awk '{print tolower($3)}' | sort -u | tr '\n' ' ')
check "static: imports only $imports" test "$imports" == "kernel32.dll msvcrt.dll "
exports() { "$tools-objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p'; }
for dll in io.dll inpout/io.dll; do
    for entry in PortOut PortWordOut PortDWordOut PortIn PortWordIn PortDWordIn SetPortBit \
        ClrPortBit NotPortBit GetPortBit RightPortShift LeftPortShift IsDriverInstalled; do
        check "$dll exports $entry" grep -qE "\] $entry\$" <<<"$(exports "$build/$dll")"
    done
done
check "inpout/io.dll imports only kernel32.dll msvcrt.dll" test "$("$tools-objdump" -p \
    "$build/inpout/io.dll" | awk '/DLL Name/ {print tolower($3)}' | sort -u | tr '\n' ' ')" \
    == "kernel32.dll msvcrt.dll "
check "stand-in exports Inp32 Out32 IsInpOutDriverOpen" \
    test "$(exports "$build/standin/$inpout" | awk 'NR > 1 && NF {print $NF}' | tr '\n' ' ')" \
    == "Inp32 IsInpOutDriverOpen Out32 "

cp "$build/quillon.exe" "$build/io.dll" "$work/" && cd "$work" || exit 1
# The first start sets the prefix up if it isn't there yet.
"$wine" quillon.exe -h </dev/null >first.out 2>&1

# Start-up and greeting of a simulated ATmega16; every line but the last ends in CR LF.
QUILLON_SIM_DEVICE=ATmega16 timeout 120 "$wine" quillon.exe -i </dev/null >greet.out 2>/dev/null
check "greeting run exits with 0" test $? == 0
greet=$(tr -d '\r' <greet.out)
for line in "Delay parameter for 1 usec is " "Quillon Programming Utility V0.97" \
    "Target ATmega16 responding - default fuses not set" \
    "Signature bytes: 1e 94 3  Processor: ATmega16" "Program finished!"; do
    check "greeting: $line" has "$greet" "$line"
done
check "console lines end in CR LF" test "$(head -n -1 greet.out | grep -vc $'\r$')" == 0

# A df/uf round trip: the HEX file goes in with Unix line ends and comes back written through a
# text-mode stream, with CR LF.
records=(':100000000c942a000c9434000c9434000c943400aa' ':0400100011241fbeda' ':00000001FF')
printf '%s\n' "${records[@]}" >prog.hex
timeout 120 "$wine" quillon.exe -dfprog.hex -ufout.hex </dev/null >trip.out 2>/dev/null
check "round trip exits with 0" test $? == 0
trip=$(tr -d '\r' <trip.out)
for line in "load file length = 20" "20 bytes written to target" "Read 16384 target flash bytes" \
    "Target matches prog.hex" "Last data value in buffer = 14 20" "Write Flash/EEPROM data to out.hex"; do
    check "round trip: $line" has "$trip" "$line"
done
check "uploaded file holds the program, CR LF line ends" \
    test "$(od -c <out.hex)" == "$(printf '%s\r\n' "${records[@]}" | od -c)"

# The key wait: the program stays after its closing line until a key arrives on standard input.
{
    for _ in $(seq 300); do
        grep -q 'Program finished!' wait.out 2>/dev/null && break
        sleep 0.2
    done
    sleep 1
    [[ -e wait.status ]] || echo stayed >stayed
    echo
} | {
    timeout 120 "$wine" quillon.exe -i >wait.out 2>/dev/null
    echo $? >wait.status
}
check "waits for a key after the closing line" test -e stayed
check "a key on standard input ends the wait" test "$(cat wait.status)" == 0

# The InpOut32 io.dll in a folder of its own with quillon.exe; InpOut's DLL comes and goes.
mkdir inpout && cp "$build/quillon.exe" "$build/inpout/io.dll" inpout/ && cp prog.hex inpout/ &&
    cd inpout || exit 1
run() { # name, environment..., then quillon's arguments after --: it exits with 0
    local name=$1 variables=()
    shift
    while [[ $1 != -- ]]; do variables+=("$1") && shift; done
    shift
    # The part on a 16 MHz crystal: fast enough for the USBasp's own ISP clock (375 kHz).
    env QUILLON_SIM_DEVICE=ATmega16 QUILLON_SIM_CLOCK=16000000 "${variables[@]}" timeout 120 \
        "$wine" quillon.exe "$@" </dev/null >run.out 2>run.err
    check "$name: exits with 0" test $? == 0
}
inpout_run() { # name, expected standard error line (or ""), then run's other arguments
    local name=$1 message=$2
    shift 2
    run "$name" "$@"
    if [[ -n $message ]]; then
        check "$name: one line on standard error" test "$(tr -d '\r' <run.err | grep -c .)" == 1
        check "$name: says '$message'" has "$(cat run.err)" "$message"
    else
        check "$name: nothing on standard error" test ! -s run.err
    fi
}
no_adapter() { check "$1: no adapter" has "$(tr -d '\r' <run.out)" "Tarvik not installed"; }
inpout_run "no $inpout" "inpout\\$inpout not found: put InpOut32's $inpout beside quillon.exe and \
run its InstallDriver.exe once as administrator" -- -i
no_adapter "no $inpout"
cp "$build/standin/$inpout" . || exit 1
inpout_run "driver closed" "InpOut32's driver is not open: run InpOut32's InstallDriver.exe" \
    QUILLON_STANDIN_DRIVER=closed -- -i
no_adapter "driver closed"
inpout_run "bad QUILLON_INPOUT" "io library: QUILLON_INPOUT: 'hold=2x' needs microseconds" \
    QUILLON_INPOUT=hold=2x -- -i
no_adapter "bad QUILLON_INPOUT"
inpout_run "InpOut round trip" "" QUILLON_INPOUT=hold=1 -- -dfprog.hex -ufout.hex
trip=$(tr -d '\r' <run.out)
for line in "Target ATmega16 responding" "20 bytes written to target" "Read back target to verify" \
    "Target matches prog.hex" "Write Flash/EEPROM data to out.hex"; do
    check "InpOut round trip: $line" has "$trip" "$line"
done
check "InpOut round trip uploads the same file" cmp -s out.hex ../out.hex
# The hold time as the simulated chip's trace shows it: each instruction takes 32 bits of at least
# two SCK changes, every port write held 300 µs, so instructions end at least 19.2 ms apart.
inpout_run "hold=300" "" QUILLON_INPOUT=hold=300 QUILLON_SIM_TRACE=trace.txt -- -i
check "hold=300: Target ATmega16 responding" has "$(cat run.out)" "Target ATmega16 responding"
gap=$(tr -d '\r' <trace.txt | awk 'length($2) == 8 && $2 ~ /^[0-9a-f]+$/ { if (n++ && (min == "" || $1 - t < min)) min = $1 - t; t = $1 }
    END { print (n > 1 ? min : 0) }')
check "hold=300: instructions at least 19200 µs apart (shortest: $gap)" test "$gap" -ge 19200

# The USBasp io.dll in a folder of its own with quillon.exe; libusb-1.0.dll comes and goes. Its
# lines come on standard output, where quillon puts the programmer's reason for its absence.
cd "$work" && mkdir usbasp && cp "$build/quillon.exe" "$build/usbasp/io.dll" prog.hex usbasp/ &&
    cd usbasp || exit 1
check "usbasp/io.dll imports only kernel32.dll msvcrt.dll" test "$("$tools-objdump" -p \
    io.dll | awk '/DLL Name/ {print tolower($3)}' | sort -u | tr '\n' ' ')" == "kernel32.dll msvcrt.dll "
for entry in ProgrammerVersion ProgrammerOpen ProgrammerEnable ProgrammerRelease \
    ProgrammerInstruction ProgrammerError ProgrammerWriteFlash ProgrammerReadMemory \
    ProgrammerWriteEeprom; do
    check "usbasp/io.dll exports $entry" grep -qE "\] $entry\$" <<<"$(exports io.dll)"
done
usbasp_run() { # name, expected line, then run's other arguments
    local name=$1 message=$2
    shift 2
    run "$name" "$@"
    check "$name: nothing on standard error" test ! -s run.err
    check "$name: says '$message'" has "$(tr -d '\r' <run.out)" "$message"
}
usbasp_run "no libusb-1.0.dll" "libusb-1.0.dll not found beside quillon.exe: put libusb's DLL \
(libusb.info, for the same 32 or 64 bits) there, and give the USBasp the WinUSB driver with Zadig \
(zadig.akeo.ie)" -- -i
no_adapter "no libusb-1.0.dll"
cp "$build/standin/libusb-1.0.dll" . || exit 1
usbasp_run "no WinUSB driver" "can't be opened without a WinUSB or libusbK driver: install one with \
Zadig (zadig.akeo.ie), choosing USBasp and WinUSB" QUILLON_EMULATED_USBASP=denied -- -i
no_adapter "no WinUSB driver"
usbasp_run "USBasp round trip" "Target matches prog.hex" -- -dfprog.hex -ufout.hex
trip=$(tr -d '\r' <run.out)
for line in "Target ATmega16 responding" "20 bytes written to target" \
    "Write Flash/EEPROM data to out.hex"; do
    check "USBasp round trip: $line" has "$trip" "$line"
done
check "USBasp round trip uploads the same file" cmp -s out.hex ../out.hex
echo "wine test: $failures failed"
[[ $failures == 0 ]]
