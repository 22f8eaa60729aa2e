// SPDX-License-Identifier: MIT
/* An ATmega128 program whose flash image is larger than 64 KiB: four 16 KiB tables of
   program-memory data that main() sums onto PORTA. Built by build.sh into table128.hex, whose
   records cross the first 64 KiB boundary. */
#include <avr/io.h>
#include <avr/pgmspace.h>

#include <stdint.h>

#define B(i) ((uint8_t)(((i) * 37u + ((i) >> 7) * 11u) & 0xFFu))
#define B4(i) B(i), B((i) + 1), B((i) + 2), B((i) + 3)
#define B16(i) B4(i), B4((i) + 4), B4((i) + 8), B4((i) + 12)
#define B64(i) B16(i), B16((i) + 16), B16((i) + 32), B16((i) + 48)
#define B256(i) B64(i), B64((i) + 64), B64((i) + 128), B64((i) + 192)
#define B1K(i) B256(i), B256((i) + 256), B256((i) + 512), B256((i) + 768)
#define B4K(i) B1K(i), B1K((i) + 1024), B1K((i) + 2048), B1K((i) + 3072)
#define B16K(i) B4K(i), B4K((i) + 4096), B4K((i) + 8192), B4K((i) + 12288)

const uint8_t table0[16384] PROGMEM = {B16K(0)};
const uint8_t table1[16384] PROGMEM = {B16K(16384)};
const uint8_t table2[16384] PROGMEM = {B16K(32768)};
const uint8_t table3[16384] PROGMEM = {B16K(49152)};

int main(void) {
    DDRA = 0xFF;
    uint8_t sum = 0;
    for (;;) {
        for (uint16_t i = 0; i < sizeof table0; ++i) {
            sum += pgm_read_byte_far(pgm_get_far_address(table0) + i);
            sum += pgm_read_byte_far(pgm_get_far_address(table1) + i);
            sum += pgm_read_byte_far(pgm_get_far_address(table2) + i);
            sum += pgm_read_byte_far(pgm_get_far_address(table3) + i);
        }
        PORTA = sum;
    }
}
