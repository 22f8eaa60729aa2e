// SPDX-License-Identifier: MIT
// The contents of a simulated ATmega: its memories, fuses, lock byte and calibration bytes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/parts.h"

namespace quillon::sim {

// The clock of a part as delivered: the 8 MHz RC oscillator divided by 8.
inline constexpr uint32_t factoryClockHz = 1000000;

struct Chip {
    std::vector<uint8_t> flash; // byte address order: word w's low byte at 2w, high at 2w + 1
    std::vector<uint8_t> eeprom;
    uint8_t lowFuse = 0xFF;
    uint8_t highFuse = 0xFF;
    uint8_t extendedFuse = 0xFF;
    uint8_t lock = 0xFF;                  // bits that don't exist read 1
    std::array<uint8_t, 4> calibration{}; // byte 0 is the one kept in the state folder
    // The CPU clock the part runs on (a setting of the board, not kept in the state folder):
    // the serial logic samples SCK with it, so it decides the fastest SCK the part follows.
    uint32_t clockHz = factoryClockHz;

    // A chip as it leaves the factory: memories erased (0xFF), factory fuses, no locks.
    [[nodiscard]] static Chip fresh(const Part& part);
};

// The calibration byte a fresh chip answers with (byte 0; the others follow it down).
inline constexpr uint8_t factoryCalibration = 0xA7;

// Fuse values as the part stores them: unused extended bits read 1, SPIEN stays programmed.
[[nodiscard]] inline uint8_t storedHighFuse(uint8_t value) {
    return static_cast<uint8_t>(value & ~spienBit);
}
[[nodiscard]] inline uint8_t storedExtendedFuse(const Part& part, uint8_t value) {
    return static_cast<uint8_t>(value | ~part.extendedBits);
}
[[nodiscard]] inline uint8_t storedLock(const Part& part, uint8_t value) {
    return static_cast<uint8_t>(value | ~part.lockBits);
}

} // namespace quillon::sim
