// SPDX-License-Identifier: MIT
/* A small ATmega16 program for the programmer's tests: blinks PB0 and counts its blinks in
   EEPROM. Built by build.sh with avr-gcc and avr-libc; blink16.hex is the flash image,
   blink16_eeprom.hex the EEPROM image. */
#include <avr/eeprom.h>
#include <avr/io.h>
#include <util/delay.h>

#include <stdint.h>

uint16_t EEMEM blinkCount = 0;
uint8_t EEMEM greeting[] = "quillon test";

static void pause(uint8_t tenths) {
    while (tenths-- > 0) {
        _delay_ms(100);
    }
}

int main(void) {
    DDRB |= _BV(PB0);
    uint16_t count = eeprom_read_word(&blinkCount);
    for (;;) {
        PORTB ^= _BV(PB0);
        pause(5);
        eeprom_update_word(&blinkCount, ++count);
    }
}
