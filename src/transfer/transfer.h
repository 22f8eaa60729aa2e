// SPDX-License-Identifier: MIT
// Reading the target's memories back, programming them, and the memory commands' guards.
#pragma once

#include <cstdint>
#include <string_view>

#include "device/device.h"

namespace quillon {

// Waits in microseconds after the memory writes: Chip Erase, each full flash page, the last
// partly filled page, each EEPROM byte. Nothing polls the target's busy flag.
inline constexpr int32_t chipEraseMicros = 14000;
inline constexpr int32_t fullPageMicros = 9500;
inline constexpr int32_t lastPageMicros = 10500;
inline constexpr int32_t eepromByteMicros = 11500;

// Flash instructions carry a 16-bit word address; Load Extended Address gives the bits above,
// sent with 0 before the first word and again before the first word of every further 64K words.
inline constexpr int32_t extendedAddressWords = 0x10000;
[[nodiscard]] inline uint8_t extendedAddressOf(int32_t wordAddress) {
    return static_cast<uint8_t>(wordAddress / extendedAddressWords);
}
// True for the first word of every 64K words after the first: Load Extended Address goes ahead.
[[nodiscard]] inline bool opensExtendedBlock(int32_t wordAddress) {
    return wordAddress != 0 && wordAddress % extendedAddressWords == 0;
}

// Reads the flash into ReadBackBuffer in whole words (word w's low byte at 2w, high byte at
// 2w + 1), after clearing the buffer and sending Load Extended Address 0 (and 1 before word
// 0x10000 of a larger flash); an odd length also reads the last word's high byte. Prints
// "Read %d target flash bytes\n". device is accepted and not used.
void readBackFlash(int32_t device, int32_t length);
// Reads the first length EEPROM bytes into ReadBackBuffer after clearing it. Prints "Read %d
// target EEPROM bytes\n".
void readBackEeprom(int32_t device, int32_t length);

// Programs the first length bytes of ImageBuffer into flash, page by page with the page size of
// DeviceTable[device], from address 0, with Load Extended Address as for the read-back; an odd
// length also loads ImageBuffer[length] as the last high byte. Returns length (0 for a device that
// names no row, when nothing is sent).
[[nodiscard]] int32_t programFlash(int32_t device, int32_t length);
// Writes the first length bytes of ImageBuffer into EEPROM byte by byte. Returns length.
[[nodiscard]] int32_t programEeprom(int32_t device, int32_t length);

// The current device's row, or null after printing that the target was not recognised and
// that `command` did nothing.
[[nodiscard]] const DeviceRecord* recognisedTarget(std::string_view command);

enum class MemoryAccess { read, write };

// Reads the lock byte: true when its lock bits allow the access; otherwise false after printing
// that the chip is read- or write-protected, what was refused (`refusal`) and how to clear it.
[[nodiscard]] bool lockBitsAllow(MemoryAccess access, std::string_view refusal);

} // namespace quillon
