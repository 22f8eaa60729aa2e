#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The soak run: soak.sh BUILD_DIR [WORDS]. Feeds the prompt of the program on the simulated
# ATmega48 (BUILD_DIR/quillon-sim) WORDS mixed command words (10000 by default): settings,
# reads of fuses, lock, calibration, signature and memories, uploads, and downloads of a small
# image into flash and EEPROM. While it runs, the program's resident memory and open file
# descriptors are sampled from /proc. It passes when every download verifies ("Target
# matches"), nothing reports an error, the program ends normally, its memory stops growing
# once warmed up, and it holds no more file descriptors at the end than after warming up.
set -euo pipefail
build=$(cd -- "$1" && pwd)
words=${2:-10000}
root=$(cd -- "$(dirname -- "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-soak-XXXXXX")
trap 'rm -rf "$work"' EXIT

flashImage=$root/tests/data/avr/blink16.hex
eepromImage=$root/tests/data/avr/blink16_eeprom.hex

# The words, from a fixed seed so that every soak run is the same. Verification is switched on
# again before each download when an "nv" is still in force.
RANDOM=4242
downloads=0
verifyOff=0
for ((n = 0; n < words; ++n)); do
    pick=$((RANDOM % 100))
    if ((pick < 55)); then
        settings=(v nv sf00 sfff sf1AB sf t2 t4 m q h mfsoak.txt "lf$work/log.txt" xyz p pf4)
        word=${settings[RANDOM % ${#settings[@]}]}
        [[ $word == nv ]] && verifyOff=1
        [[ $word == v ]] && verifyOff=0
    elif ((pick < 88)); then
        reads=(gf gf1 gf2 gf3 gl gc i s "uf$work/flash.hex" "ue$work/eeprom.hex" "ld$flashImage")
        word=${reads[RANDOM % ${#reads[@]}]}
        [[ $word == uf* || $word == ue* ]] && verifyOff=0 # uploads reset the settings
    else
        if ((verifyOff)); then
            echo v
            verifyOff=0
        fi
        ((pick < 97)) && word=df$flashImage || word=de$eepromImage
        downloads=$((downloads + 1))
    fi
    echo "$word"
done >"$work/words.txt"
echo "soak: $words words, $downloads downloads, on a simulated ATmega48"

export QUILLON_SIM_DEVICE=ATmega48 QUILLON_SIM_STATE=$work/chip
"$build/quillon-sim" <"$work/words.txt" >"$work/out.txt" 2>"$work/err.txt" &
pid=$!

# One sample every two seconds: seconds, resident kB, open descriptors.
start=$SECONDS
while kill -0 "$pid" 2>/dev/null; do
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    fds=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l || true)
    [[ -n $rss ]] && echo "$((SECONDS - start)) $rss $fds" >>"$work/samples.txt"
    sleep 2
done
status=0
wait "$pid" || status=$?

failed=0
fail() {
    echo "soak: FAILED - $*"
    failed=1
}
matches=$(grep -c '^Target matches ' "$work/out.txt" || true)
errors=$(grep -c 'ERROR\|Can.t \|not responding' "$work/out.txt" || true)
((status == 0)) || fail "the program ended with status $status"
[[ -s $work/err.txt ]] && fail "standard error: $(head -3 "$work/err.txt")"
((matches == downloads)) || fail "$matches of $downloads downloads verified"
((errors == 0)) || fail "$errors error lines: $(grep -m3 'ERROR\|Can.t \|not responding' "$work/out.txt")"
tail -c 200 "$work/out.txt" | grep -q 'Program finished!' || fail "no closing line"

# Warmed up after the first fifth of the run: from then on, memory and descriptors stay put
# (a few pages of slack for the C library's buffers).
samples=$(wc -l <"$work/samples.txt")
((samples >= 5)) || fail "only $samples samples: the run was too short to judge"
if ((samples >= 5)); then
    read -r warmRss warmFds < <(awk -v n=$((samples / 5)) 'NR == n {print $2, $3}' "$work/samples.txt")
    read -r maxRss maxFds < <(awk 'NR > 0 {if ($2 > r) r = $2; if ($3 > f) f = $3} END {print r, f}' \
        "$work/samples.txt")
    read -r lastRss lastFds < <(tail -1 "$work/samples.txt" | awk '{print $2, $3}')
    echo "soak: resident memory ${warmRss} kB after warming up, at most ${maxRss} kB, ${lastRss} kB at the end"
    echo "soak: file descriptors ${warmFds} after warming up, at most ${maxFds}, ${lastFds} at the end"
    ((lastRss - warmRss <= 64)) || fail "resident memory grew by $((lastRss - warmRss)) kB"
    ((lastFds <= warmFds)) || fail "file descriptors grew from $warmFds to $lastFds"
fi
echo "soak: $matches of $downloads downloads verified in $((SECONDS - start)) s"
((failed == 0)) && echo "soak: passed"
exit "$failed"
