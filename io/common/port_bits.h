// SPDX-License-Identifier: MIT
// Bits, shifts and multi-byte accesses of a port, written once over a backend's few primitives:
// what the io entry points (entry_points.h) and the simulated board build on.
//
// A backend has in(port) and out(port, value) for whole bytes. Where it keeps the output latch
// itself it may also have setBit(port, bit, level), which changes one bit alone, and
// latch(port), the byte a toggle starts from when in() doesn't read the latch back.
#pragma once

#include <concepts>
#include <cstdint>

namespace quillon::io {

template <typename Ports>
concept PortPrimitives = requires(Ports& ports, uint16_t port, uint8_t value) {
    { ports.in(port) } -> std::convertible_to<uint8_t>;
    ports.out(port, value);
};

// Bits 0 to 7; any other bit number changes nothing and reads 0.
template <PortPrimitives Ports>
void writeBit(Ports& ports, uint16_t port, unsigned bit, bool level) {
    if (bit > 7) {
        return;
    }
    if constexpr (requires { ports.setBit(port, bit, level); }) {
        ports.setBit(port, bit, level);
    } else {
        const auto mask = static_cast<uint8_t>(1U << bit);
        const uint8_t value = ports.in(port);
        ports.out(port,
                  level ? static_cast<uint8_t>(value | mask) : static_cast<uint8_t>(value & ~mask));
    }
}

// -1 when the bit reads 1, 0 when it reads 0.
template <PortPrimitives Ports>
[[nodiscard]] int16_t readBit(Ports& ports, uint16_t port, unsigned bit) {
    return bit < 8 && ((ports.in(port) >> bit) & 1U) != 0 ? int16_t{-1} : int16_t{0};
}

template <PortPrimitives Ports>
void toggleBit(Ports& ports, uint16_t port, unsigned bit) {
    if (bit > 7) {
        return;
    }
    uint8_t latch = 0;
    if constexpr (requires { ports.latch(port); }) {
        latch = ports.latch(port);
    } else {
        latch = ports.in(port);
    }
    writeBit(ports, port, bit, ((latch >> bit) & 1U) == 0);
}

// Shifts the port's byte one place towards bit 0 (right) or bit 7, `fill` (nonzero: 1) coming
// in; answers the bit shifted out as readBit does.
template <PortPrimitives Ports>
[[nodiscard]] int16_t shift(Ports& ports, uint16_t port, int16_t fill, bool right) {
    const uint8_t value = ports.in(port);
    const unsigned in = fill != 0 ? (right ? 0x80U : 0x01U) : 0U;
    ports.out(port, static_cast<uint8_t>((right ? value >> 1 : value << 1) | in));
    return (value & (right ? 0x01U : 0x80U)) != 0 ? int16_t{-1} : int16_t{0};
}

// `bytes` bytes from `port` on, the lowest first.
template <PortPrimitives Ports>
void writeBytes(Ports& ports, uint16_t port, uint32_t value, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i) {
        ports.out(static_cast<uint16_t>(port + i), static_cast<uint8_t>(value >> (8 * i)));
    }
}

template <PortPrimitives Ports>
[[nodiscard]] uint32_t readBytes(Ports& ports, uint16_t port, unsigned bytes) {
    uint32_t value = 0;
    for (unsigned i = 0; i < bytes; ++i) {
        value |= uint32_t{ports.in(static_cast<uint16_t>(port + i))} << (8 * i);
    }
    return value;
}

} // namespace quillon::io
