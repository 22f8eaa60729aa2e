#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The 64-bit Windows build's Arduino library (arduino/io.dll, as io.dll beside quillon.exe) under
# Wine, driving the emulated ArduinoISP sketch through a COM port: Wine's dosdevices/com5 points
# at the sketch's pseudo-terminal. A df/uf round trip, then a COM port that isn't there.
# Usage: wine_arduino_test.sh SOURCE_DIR WINDOWS64_BUILD_DIR SKETCH_HOST
set -uo pipefail
source_dir=$1
build=$2
host=$3
arch=win64
# shellcheck source=tests/e2e/windows/wine_setup.sh
source "$source_dir/tests/e2e/windows/wine_setup.sh"
wine_build quillon io_arduino
# A prefix of this test's own (the other Wine test stops its wineserver when it ends).
wine_prefix wine-arduino-prefix
work=$(mktemp -d "$build/wine-arduino.XXXXXX")
mkfifo "$work/host.in"
"$host" ATmega328P <"$work/host.in" >"$work/host.out" &
host_pid=$!
exec 3>"$work/host.in" # the sketch serves until this closes
trap 'exec 3>&-; wait "$host_pid"; wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [[ -s $work/host.out ]] && break; sleep 0.1; done
pty=$(head -n 1 "$work/host.out")
check "the sketch is on a pseudo-terminal ($pty)" test -c "$pty"

cp "$build/quillon.exe" "$work/" && cp "$build/arduino/io.dll" "$work/io.dll" && cd "$work" || exit 1
"$wine" quillon.exe -h </dev/null >first.out 2>&1 # sets the prefix up the first time
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"

records=(':100000000c942a000c9434000c9434000c943400aa' ':0400100011241fbeda' ':00000001FF')
printf '%s\n' "${records[@]}" >prog.hex
QUILLON_ARDUINO=port=COM5 timeout 300 "$wine" quillon.exe -dfprog.hex -ufout.hex </dev/null \
    >trip.out 2>trip.err
check "round trip exits with 0" test $? == 0
trip=$(cat trip.out trip.err | tr -d '\r')
for line in "Target ATmega328P responding" "20 bytes written to target" "Target matches prog.hex" \
    "Write Flash/EEPROM data to out.hex"; do
    check "round trip: $line" has "$trip" "$line"
done
check "uploaded file holds the program" \
    test "$(tr -d '\r' <out.hex)" == "$(printf '%s\n' "${records[@]}")"

QUILLON_ARDUINO=port=COM9 timeout 120 "$wine" quillon.exe -i </dev/null >gone.out 2>&1
gone=$(tr -d '\r' <gone.out)
# The ports listed are those Windows names (QueryDosDevice); Wine names only the ones it made
# itself, not a com5 link added to its prefix, so which ports are listed isn't checked.
check "COM9: named as missing" has "$gone" "Arduino: there is no serial port COM9 ("
check "COM9: the serial ports listed" grep -qE "COM9 \((serial ports here: COM|no serial ports)" <<<"$gone"
check "COM9: no adapter" has "$gone" "Tarvik not installed"
echo "wine arduino test: $failures failed"
[[ $failures == 0 ]]
