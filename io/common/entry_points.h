// SPDX-License-Identifier: MIT
// The io library's thirteen entry points (io.h) over a backend's ports, written once for every
// backend. A backend's io library defines quillon::io::backend(), an object with the primitives
// port_bits.h names, and quillon::io::reachable(), then includes this header; each library
// includes it once.
#pragma once

#include "common/port_bits.h"
#include "io.h"

extern "C" {

IO_EXPORT void IO_CALL PortOut(uint16_t port, uint8_t value) {
    quillon::io::backend().out(port, value);
}
IO_EXPORT void IO_CALL PortWordOut(uint16_t port, uint16_t value) {
    quillon::io::writeBytes(quillon::io::backend(), port, value, 2);
}
IO_EXPORT void IO_CALL PortDWordOut(uint16_t port, uint32_t value) {
    quillon::io::writeBytes(quillon::io::backend(), port, value, 4);
}
IO_EXPORT uint8_t IO_CALL PortIn(uint16_t port) {
    return quillon::io::backend().in(port);
}
IO_EXPORT uint16_t IO_CALL PortWordIn(uint16_t port) {
    return static_cast<uint16_t>(quillon::io::readBytes(quillon::io::backend(), port, 2));
}
IO_EXPORT uint32_t IO_CALL PortDWordIn(uint16_t port) {
    return quillon::io::readBytes(quillon::io::backend(), port, 4);
}
IO_EXPORT void IO_CALL SetPortBit(uint16_t port, uint8_t bit) {
    quillon::io::writeBit(quillon::io::backend(), port, bit, true);
}
IO_EXPORT void IO_CALL ClrPortBit(uint16_t port, uint8_t bit) {
    quillon::io::writeBit(quillon::io::backend(), port, bit, false);
}
IO_EXPORT void IO_CALL NotPortBit(uint16_t port, uint8_t bit) {
    quillon::io::toggleBit(quillon::io::backend(), port, bit);
}
IO_EXPORT int16_t IO_CALL GetPortBit(uint16_t port, uint8_t bit) {
    return quillon::io::readBit(quillon::io::backend(), port, bit);
}
IO_EXPORT int16_t IO_CALL RightPortShift(uint16_t port, int16_t fill) {
    return quillon::io::shift(quillon::io::backend(), port, fill, true);
}
IO_EXPORT int16_t IO_CALL LeftPortShift(uint16_t port, int16_t fill) {
    return quillon::io::shift(quillon::io::backend(), port, fill, false);
}
IO_EXPORT int16_t IO_CALL IsDriverInstalled(void) {
    return quillon::io::reachable() ? 1 : 0;
}

} // extern "C"
