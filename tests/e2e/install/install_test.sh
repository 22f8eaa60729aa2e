#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a temporary prefix: bin/quillon with its Linux io library beside it
# (found through RUNPATH $ORIGIN), the simulated target with the quillon-sim launcher, the GPIO
# library with the quillon-gpio launcher, the SPI library with the quillon-spi launcher, the
# Arduino library with the quillon-arduino launcher, the USBasp library with the quillon-usbasp
# launcher and its udev rule (where libusb is found), the wiring drawings, and the man page, which
# man shows
# without warnings and which names every command; then the same as a Debian package.
# Usage: install_test.sh BUILD_DIR prefix|package: the installed prefix with its man page, or
# the package (apart, so that the two can run at the same time).
set -uo pipefail
# shellcheck source=tests/support/checks.sh
source "$(dirname -- "$0")/../../support/checks.sh"

prefix=$(mktemp -d "${TMPDIR:-/tmp}/quillon-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
if [[ $2 == prefix ]]; then
cmake --install "$1" --prefix "$prefix" >/dev/null || exit 1

for file in bin/quillon bin/libio.so lib/quillon/sim/libio.so bin/quillon-sim \
    lib/quillon/gpio/libio.so bin/quillon-gpio lib/quillon/spi/libio.so bin/quillon-spi \
    lib/quillon/arduino/libio.so bin/quillon-arduino share/man/man1/quillon.1 \
    share/doc/quillon/wiring.svg share/doc/quillon/spi-wiring.svg \
    share/doc/quillon/arduino-wiring.svg; do
    check "installed $file" test -f "$prefix/$file"
done
check "RUNPATH is \$ORIGIN alone" has "$(readelf -d "$prefix/bin/quillon")" 'Library runpath: [$ORIGIN]'

# The installed program reaches the parallel port through its own library; on a machine without
# one that library says so and the adapter shows as missing.
out=$(env -u LD_LIBRARY_PATH "$prefix/bin/quillon" -i </dev/null 2>"$prefix/err.txt")
check "installed program ends normally" has "$out" 'Program finished!'
if [[ ! -e /dev/parport0 ]]; then
    check "installed program uses its ppdev library" grep -q '/dev/parport0 not found' "$prefix/err.txt"
    check "no parallel port: adapter missing" has "$out" 'Tarvik not installed'
fi

# quillon-usbasp runs it with the USBasp library, which says so when no USBasp is plugged in.
if [[ -f "$prefix/bin/quillon-usbasp" ]]; then
    for file in lib/quillon/usbasp/libio.so lib/udev/rules.d/60-quillon-usbasp.rules; do
        check "installed $file" test -f "$prefix/$file"
    done
    check "udev rule gives the console user the USBasp" \
        grep -q 'ATTR{idVendor}=="16c0", ATTR{idProduct}=="05dc".*TAG+="uaccess"' \
        "$prefix/lib/udev/rules.d/60-quillon-usbasp.rules"
    if [[ ! -e /dev/bus/usb ]]; then
        out=$("$prefix/bin/quillon-usbasp" -i </dev/null 2>&1)
        check "quillon-usbasp uses its USBasp library" has "$out" 'no USBasp found'
    fi
fi

# quillon-gpio runs it with the GPIO library, which on a machine without the chip says so.
if [[ ! -e /dev/gpiochip0 ]]; then
    out=$("$prefix/bin/quillon-gpio" -i </dev/null 2>&1)
    check "quillon-gpio uses its GPIO library" has "$out" '/dev/gpiochip0 not found'
fi

# quillon-spi runs it with the SPI library, which names a missing device and how to turn it on.
out=$(QUILLON_SPI=device=/dev/quillon-no-spidev "$prefix/bin/quillon-spi" -i </dev/null 2>&1)
check "quillon-spi uses its SPI library" has "$out" '/dev/quillon-no-spidev not found: turn the SPI'

# quillon-arduino runs it with the Arduino library, which names a serial port that isn't there.
out=$(QUILLON_ARDUINO=port=/dev/quillon-no-port "$prefix/bin/quillon-arduino" -i </dev/null 2>&1)
check "quillon-arduino uses its Arduino library" has "$out" 'there is no serial port /dev/quillon-no-port'

# The launcher, also called through a link from elsewhere, runs it with the simulated target.
ln -s "$prefix/bin/quillon-sim" "$prefix/sim-link"
out=$("$prefix/sim-link" -i </dev/null 2>&1)
check "quillon-sim greets the simulated ATmega16" has "$out" 'Processor: ATmega16'
fi

# The Debian package (what `make package` makes), unpacked into a scratch root: the installed
# launcher greets the simulated chip from the root's usr/bin; lintian finds no error in it.
if [[ $2 == package && -f $1/CPackConfig.cmake ]] && command -v dpkg-deb >/dev/null; then
    cpack --config "$1/CPackConfig.cmake" -B "$prefix/package" >"$prefix/cpack.txt" 2>&1
    deb=$(echo "$prefix"/package/quillon_*.deb)
    check "package built" test -f "$deb"
    check "package depends on the C++ runtime" has "$(dpkg-deb -f "$deb" Depends)" 'libstdc++6'
    dpkg-deb -x "$deb" "$prefix/root"
    for file in usr/bin/quillon usr/bin/libio.so usr/lib/quillon/sim/libio.so usr/lib/quillon/gpio/libio.so \
        usr/lib/quillon/spi/libio.so usr/bin/quillon-spi usr/lib/quillon/arduino/libio.so \
        usr/bin/quillon-arduino usr/share/man/man1/quillon.1.gz usr/share/doc/quillon/copyright; do
        check "package holds $file" test -f "$prefix/root/$file"
    done
    if [[ -f "$prefix/root/usr/bin/quillon-usbasp" ]]; then
        for file in usr/lib/quillon/usbasp/libio.so lib/udev/rules.d/60-quillon-usbasp.rules; do
            check "package holds $file" test -f "$prefix/root/$file"
        done
        check "package depends on libusb" has "$(dpkg-deb -f "$deb" Depends)" 'libusb-1.0-0'
    fi
    out=$(env -u LD_LIBRARY_PATH "$prefix/root/usr/bin/quillon-sim" -i </dev/null 2>&1)
    check "packaged quillon-sim greets the simulated ATmega16" has "$out" 'Processor: ATmega16'
    if command -v lintian >/dev/null; then
        check "lintian finds no error" test -z "$(lintian "$deb" 2>/dev/null | grep '^E:')"
    fi
fi

# The man page: man renders it without complaint and names every command word and variable.
if [[ $2 == package ]]; then
    : # the man page is checked with the prefix
elif command -v man >/dev/null; then
    page=$(MANWIDTH=100 man --warnings -l "$prefix/share/man/man1/quillon.1" 2>"$prefix/warn.txt" |
        col -b)
    check "man shows the page" has "$page" 'quillon - program AVR ATmega'
    check "man reports no warnings" test ! -s "$prefix/warn.txt"
    for section in COMMANDS "SETTINGS AND THEIR LIFETIMES" "SIMULATED TARGET" "EXIT STATUS" FILES; do
        check "man page has $section" grep -q "^$section" <<<"$page"
    done
    # Each command word heads an entry (.TP) of its own or shares one: "\fBdf\fP\fIfile\fP",
    # ".B nv", ".BR m \", \" q".
    tags=$(awk 'previous == ".TP" { print } { previous = $0 }' "$prefix/share/man/man1/quillon.1")
    for word in df de ld uf ue lf mf sf gl pl gf1 gf2 gf3 gf a pfa pf1 pf2 pf3 gc i s v nv t2 t4 m q h e; do
        check "man page describes $word" \
            grep -qE "\\\\fB$word\\\\fP|^\\.BR? $word( |\$)|^\\.BR .* \"? ?$word\"?( |\$)" <<<"$tags"
    done
    for variable in QUILLON_SIM_DEVICE QUILLON_SIM_STATE QUILLON_SIM_FAULTS QUILLON_SIM_TRACE \
        QUILLON_SIM_CLOCK QUILLON_GPIO QUILLON_SPI QUILLON_INPOUT QUILLON_USBASP; do
        check "man page names $variable" has "$page" "$variable"
    done
else
    echo "man is not installed: man page checks skipped"
fi
echo "install test: $failures failed"
[[ $failures == 0 ]]
