// SPDX-License-Identifier: MIT
// The io library's thirteen entry points for Windows over InpOut32 (see inpout_ports.h),
// configured by QUILLON_INPOUT. InpOut's DLL is loaded on the first port access.
#include <cstdlib>

#include "inpout_ports.h"
#include "io.h"

namespace {

std::string configuration() {
    const char* text = std::getenv("QUILLON_INPOUT");
    return text != nullptr ? text : "";
}

quillon::inpout::InpOutPorts Ports(quillon::inpout::windowsSystem(), configuration());

} // namespace

extern "C" {

IO_EXPORT void IO_CALL PortOut(uint16_t port, uint8_t value) {
    Ports.out(port, value);
}

IO_EXPORT void IO_CALL PortWordOut(uint16_t port, uint16_t value) {
    Ports.out(port, static_cast<uint8_t>(value & 0xFFU));
    Ports.out(static_cast<uint16_t>(port + 1), static_cast<uint8_t>(value >> 8));
}

IO_EXPORT void IO_CALL PortDWordOut(uint16_t port, uint32_t value) {
    for (unsigned i = 0; i < 4; ++i) {
        Ports.out(static_cast<uint16_t>(port + i), static_cast<uint8_t>(value >> (8 * i)));
    }
}

IO_EXPORT uint8_t IO_CALL PortIn(uint16_t port) {
    return Ports.in(port);
}

IO_EXPORT uint16_t IO_CALL PortWordIn(uint16_t port) {
    const uint8_t low = Ports.in(port);
    return static_cast<uint16_t>(low | (Ports.in(static_cast<uint16_t>(port + 1)) << 8));
}

IO_EXPORT uint32_t IO_CALL PortDWordIn(uint16_t port) {
    uint32_t value = 0;
    for (unsigned i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(Ports.in(static_cast<uint16_t>(port + i))) << (8 * i);
    }
    return value;
}

IO_EXPORT void IO_CALL SetPortBit(uint16_t port, uint8_t bit) {
    Ports.setBit(port, bit, true);
}

IO_EXPORT void IO_CALL ClrPortBit(uint16_t port, uint8_t bit) {
    Ports.setBit(port, bit, false);
}

IO_EXPORT void IO_CALL NotPortBit(uint16_t port, uint8_t bit) {
    Ports.toggleBit(port, bit);
}

IO_EXPORT int16_t IO_CALL GetPortBit(uint16_t port, uint8_t bit) {
    return Ports.getBit(port, bit);
}

IO_EXPORT int16_t IO_CALL RightPortShift(uint16_t port, int16_t fill) {
    return Ports.shiftRight(port, fill);
}

IO_EXPORT int16_t IO_CALL LeftPortShift(uint16_t port, int16_t fill) {
    return Ports.shiftLeft(port, fill);
}

IO_EXPORT int16_t IO_CALL IsDriverInstalled(void) {
    return Ports.reachable() ? 1 : 0;
}

} // extern "C"
