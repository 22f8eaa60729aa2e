// SPDX-License-Identifier: MIT
/* blink: the example program of quillon's demo, for an ATmega16 on its factory clock (the
 * internal 1 MHz oscillator). It counts on port B, so an LED on PB0 blinks twice a second and
 * LEDs on PB1..PB7 show the count in binary.
 *
 * Built into blink.hex with avr-gcc (see README.md in this folder for the exact command). */
#include <avr/io.h>
#include <util/delay.h>

int main(void)
{
    uint8_t count = 0;
    DDRB = 0xFF; /* port B drives its eight LEDs */
    for (;;) {
        PORTB = count++;
        _delay_ms(250);
    }
}
