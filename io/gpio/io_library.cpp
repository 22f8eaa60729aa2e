// SPDX-License-Identifier: MIT
// The io library's thirteen entry points for Linux over a GPIO chip's lines (see
// gpio_adapter.h), configured by QUILLON_GPIO. The lines are claimed on their first use and
// given back, released, when the library is unloaded (or the process ends).
#include <cstdlib>

#include "gpio_adapter.h"
#include "io.h"

namespace {

std::string configuration() {
    const char* text = std::getenv("QUILLON_GPIO");
    return text != nullptr ? text : "";
}

quillon::gpio::GpioAdapter Adapter(quillon::gpio::librarySystem(), configuration());

} // namespace

extern "C" {

IO_EXPORT void IO_CALL PortOut(uint16_t port, uint8_t value) {
    Adapter.out(port, value);
}

IO_EXPORT void IO_CALL PortWordOut(uint16_t port, uint16_t value) {
    Adapter.out(port, static_cast<uint8_t>(value & 0xFFU));
    Adapter.out(static_cast<uint16_t>(port + 1), static_cast<uint8_t>(value >> 8));
}

IO_EXPORT void IO_CALL PortDWordOut(uint16_t port, uint32_t value) {
    for (unsigned i = 0; i < 4; ++i) {
        Adapter.out(static_cast<uint16_t>(port + i), static_cast<uint8_t>(value >> (8 * i)));
    }
}

IO_EXPORT uint8_t IO_CALL PortIn(uint16_t port) {
    return Adapter.in(port);
}

IO_EXPORT uint16_t IO_CALL PortWordIn(uint16_t port) {
    const uint8_t low = Adapter.in(port);
    return static_cast<uint16_t>(low | (Adapter.in(static_cast<uint16_t>(port + 1)) << 8));
}

IO_EXPORT uint32_t IO_CALL PortDWordIn(uint16_t port) {
    uint32_t value = 0;
    for (unsigned i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(Adapter.in(static_cast<uint16_t>(port + i))) << (8 * i);
    }
    return value;
}

IO_EXPORT void IO_CALL SetPortBit(uint16_t port, uint8_t bit) {
    Adapter.setBit(port, bit, true);
}

IO_EXPORT void IO_CALL ClrPortBit(uint16_t port, uint8_t bit) {
    Adapter.setBit(port, bit, false);
}

IO_EXPORT void IO_CALL NotPortBit(uint16_t port, uint8_t bit) {
    Adapter.toggleBit(port, bit);
}

IO_EXPORT int16_t IO_CALL GetPortBit(uint16_t port, uint8_t bit) {
    return Adapter.getBit(port, bit);
}

IO_EXPORT int16_t IO_CALL RightPortShift(uint16_t port, int16_t fill) {
    return Adapter.shiftRight(port, fill);
}

IO_EXPORT int16_t IO_CALL LeftPortShift(uint16_t port, int16_t fill) {
    return Adapter.shiftLeft(port, fill);
}

IO_EXPORT int16_t IO_CALL IsDriverInstalled(void) {
    return Adapter.claimed() ? 1 : 0;
}

} // extern "C"
