// SPDX-License-Identifier: MIT
// What the simulated target knows about each ATmega it can be: signature, memory geometry,
// write times and factory fuses, as the data sheets give them. The simulator keeps its own copy
// of these facts so that it can't share a mistake with the programmer's device table.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::sim {

using Micros = std::chrono::microseconds;

struct Part {
    std::string name; // "ATmega16"; for an unrecognised signature "unrecognised 1e9407"
    std::array<uint8_t, 3> signature{};
    uint32_t flashBytes = 0;
    uint32_t flashPageBytes = 0;
    uint32_t eepromBytes = 0;
    uint32_t eepromPageBytes = 0;
    bool eepromPageAccess = false; // Load/Write EEPROM Memory Page exist
    // Minimum waits after each kind of write, before the chip takes the next instruction.
    Micros flashPageWrite{4500};
    Micros eepromWrite{9000};
    Micros fuseWrite{4500};
    Micros chipErase{9000};
    // Factory fuses; unused bits already read as 1.
    uint8_t lowFuse = 0xFF;
    uint8_t highFuse = 0xFF;
    uint8_t extendedFuse = 0xFF;
    uint8_t extendedBits = 0x00; // the extended fuse bits that exist
    uint8_t lockBits = 0x3F;     // the lock bits that exist; the others read 1
    uint8_t calibrationBytes = 1;

    [[nodiscard]] uint32_t flashWords() const { return flashBytes / 2; }
    [[nodiscard]] uint32_t flashPageWords() const { return flashPageBytes / 2; }
};

// The high fuse's SPIEN bit: reads 0 and can't be changed over the serial interface.
inline constexpr uint8_t spienBit = 0x20;
// The high fuse's EESAVE bit: when programmed (0), Chip Erase keeps the EEPROM.
inline constexpr uint8_t eesaveBit = 0x08;

inline constexpr std::size_t partCount = 30;

// The parts the simulator knows by name.
[[nodiscard]] const std::array<Part, partCount>& knownParts();

// The part named `name` (case does not matter), or the part with the signature given as six hex
// digits: a known part when it has that signature, otherwise an ATmega16-like part that answers
// with the unknown signature. Nothing for any other text.
[[nodiscard]] std::optional<Part> findPart(std::string_view nameOrSignature);

} // namespace quillon::sim
