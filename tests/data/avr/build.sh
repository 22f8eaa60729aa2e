#!/bin/sh
# SPDX-License-Identifier: MIT
# Rebuilds the test programs' Intel HEX files and raw images with Debian's gcc-avr, avr-libc
# and binutils-avr (apt-get install gcc-avr avr-libc binutils-avr). The outputs are committed,
# so the tests don't need the toolchain.
set -eu
cd "$(dirname "$0")"

build() { # name mcu
    avr-gcc -mmcu="$2" -DF_CPU=1000000UL -Os -std=gnu99 -Wall -o "$1.elf" "$1.c"
    avr-objcopy -O ihex -R .eeprom "$1.elf" "$1.hex"
    avr-objcopy -O binary -R .eeprom "$1.elf" "$1.bin"
}

build blink16 atmega16
avr-objcopy -O ihex -j .eeprom --change-section-lma .eeprom=0 blink16.elf blink16_eeprom.hex
avr-objcopy -O binary -j .eeprom --change-section-lma .eeprom=0 blink16.elf blink16_eeprom.bin
build table128 atmega128
rm -f ./*.elf
# eeprom768.hex (an EEPROM image past byte 511) and above128k.hex (an ATmega2560 image across
# 128 KiB) are byte patterns written by hand, not built.
