// SPDX-License-Identifier: MIT
// The io library's thirteen entry points for Linux, over the parallel ports at the standard
// addresses (see parallel_ports.h), configured by QUILLON_PARPORT. A port is opened and claimed
// on its first use and released and closed when the library is unloaded (or the process ends),
// by the destructor of Ports.
#include <cstdlib>
#include <string_view>

#include "io.h"
#include "parallel_ports.h"

namespace {

std::string_view configuration() {
    const char* text = std::getenv("QUILLON_PARPORT");
    return text != nullptr ? text : "";
}

quillon::ppdev::ParallelPorts Ports(quillon::ppdev::realSystem(), configuration());

} // namespace

extern "C" {

void IO_CALL PortOut(uint16_t port, uint8_t value) {
    Ports.out(port, value);
}

void IO_CALL PortWordOut(uint16_t port, uint16_t value) {
    Ports.out(port, static_cast<uint8_t>(value & 0xFFU));
    Ports.out(static_cast<uint16_t>(port + 1), static_cast<uint8_t>(value >> 8));
}

void IO_CALL PortDWordOut(uint16_t port, uint32_t value) {
    for (unsigned i = 0; i < 4; ++i) {
        Ports.out(static_cast<uint16_t>(port + i), static_cast<uint8_t>(value >> (8 * i)));
    }
}

uint8_t IO_CALL PortIn(uint16_t port) {
    return Ports.in(port);
}

uint16_t IO_CALL PortWordIn(uint16_t port) {
    return static_cast<uint16_t>(Ports.in(port) | (Ports.in(static_cast<uint16_t>(port + 1)) << 8));
}

uint32_t IO_CALL PortDWordIn(uint16_t port) {
    uint32_t value = 0;
    for (unsigned i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(Ports.in(static_cast<uint16_t>(port + i))) << (8 * i);
    }
    return value;
}

void IO_CALL SetPortBit(uint16_t port, uint8_t bit) {
    Ports.setBit(port, bit, true);
}

void IO_CALL ClrPortBit(uint16_t port, uint8_t bit) {
    Ports.setBit(port, bit, false);
}

void IO_CALL NotPortBit(uint16_t port, uint8_t bit) {
    Ports.toggleBit(port, bit);
}

int16_t IO_CALL GetPortBit(uint16_t port, uint8_t bit) {
    return Ports.getBit(port, bit);
}

int16_t IO_CALL RightPortShift(uint16_t port, int16_t fill) {
    return Ports.shiftRight(port, fill);
}

int16_t IO_CALL LeftPortShift(uint16_t port, int16_t fill) {
    return Ports.shiftLeft(port, fill);
}

int16_t IO_CALL IsDriverInstalled(void) {
    return Ports.standardPortReachable() ? 1 : 0;
}

} // extern "C"
