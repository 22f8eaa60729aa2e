// SPDX-License-Identifier: MIT
// An io library that lacks GetPortBit: the program must not call through the missing slot.
#include "io.h"

extern "C" {
void IO_CALL SetPortBit(uint16_t, uint8_t) {}
void IO_CALL ClrPortBit(uint16_t, uint8_t) {}
}
