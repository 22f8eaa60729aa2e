// SPDX-License-Identifier: MIT
// The io library's thirteen entry points (io.h) over a backend's ports, written once for the
// backends. A backend's io_library.cpp defines quillon::io::backend(), the object with in, out,
// setBit, getBit, toggleBit, shiftRight and shiftLeft, and quillon::io::reachable(), then
// includes this header; each library includes it once.
#pragma once

#include "io.h"

extern "C" {

void IO_CALL PortOut(uint16_t port, uint8_t value) {
    quillon::io::backend().out(port, value);
}

void IO_CALL PortWordOut(uint16_t port, uint16_t value) {
    quillon::io::backend().out(port, static_cast<uint8_t>(value & 0xFFU));
    quillon::io::backend().out(static_cast<uint16_t>(port + 1), static_cast<uint8_t>(value >> 8));
}

void IO_CALL PortDWordOut(uint16_t port, uint32_t value) {
    for (unsigned i = 0; i < 4; ++i) {
        quillon::io::backend().out(static_cast<uint16_t>(port + i),
                                   static_cast<uint8_t>(value >> (8 * i)));
    }
}

uint8_t IO_CALL PortIn(uint16_t port) {
    return quillon::io::backend().in(port);
}

uint16_t IO_CALL PortWordIn(uint16_t port) {
    const uint8_t low = quillon::io::backend().in(port);
    return static_cast<uint16_t>(low |
                                 (quillon::io::backend().in(static_cast<uint16_t>(port + 1)) << 8));
}

uint32_t IO_CALL PortDWordIn(uint16_t port) {
    uint32_t value = 0;
    for (unsigned i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(quillon::io::backend().in(static_cast<uint16_t>(port + i)))
                 << (8 * i);
    }
    return value;
}

void IO_CALL SetPortBit(uint16_t port, uint8_t bit) {
    quillon::io::backend().setBit(port, bit, true);
}

void IO_CALL ClrPortBit(uint16_t port, uint8_t bit) {
    quillon::io::backend().setBit(port, bit, false);
}

void IO_CALL NotPortBit(uint16_t port, uint8_t bit) {
    quillon::io::backend().toggleBit(port, bit);
}

int16_t IO_CALL GetPortBit(uint16_t port, uint8_t bit) {
    return quillon::io::backend().getBit(port, bit);
}

int16_t IO_CALL RightPortShift(uint16_t port, int16_t fill) {
    return quillon::io::backend().shiftRight(port, fill);
}

int16_t IO_CALL LeftPortShift(uint16_t port, int16_t fill) {
    return quillon::io::backend().shiftLeft(port, fill);
}

int16_t IO_CALL IsDriverInstalled(void) {
    return quillon::io::reachable() ? 1 : 0;
}

} // extern "C"
