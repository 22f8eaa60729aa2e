// SPDX-License-Identifier: MIT
// Reading the target's memories back, programming them, and the memory commands' guards.
#pragma once

#include <cstdint>
#include <string_view>

#include "device/device.h"

namespace quillon {

// Reads the flash into ReadBackBuffer through the programmer in use, in whole words (word w's
// low byte at 2w, high byte at 2w + 1), after clearing the buffer; an odd length also reads the
// last word's high byte. Prints
// "Read %d target flash bytes\n". device is accepted and not used.
void readBackFlash(int32_t device, int32_t length);
// Reads the first length EEPROM bytes into ReadBackBuffer after clearing it. Prints "Read %d
// target EEPROM bytes\n".
void readBackEeprom(int32_t device, int32_t length);

// Programs the first length bytes of ImageBuffer into flash through the programmer in use, page
// by page with the page size of DeviceTable[device], from address 0; an odd length also loads
// ImageBuffer[length] as the last high byte. Returns length (0 for a device that
// names no row, when nothing is sent).
[[nodiscard]] int32_t programFlash(int32_t device, int32_t length);
// Writes the first length bytes of ImageBuffer into EEPROM through the programmer in use.
// Returns length.
[[nodiscard]] int32_t programEeprom(int32_t device, int32_t length);

// The current device's row, or null after printing that the target was not recognised and
// that `command` did nothing.
[[nodiscard]] const DeviceRecord* recognisedTarget(std::string_view command);

enum class MemoryAccess { read, write };

// Reads the lock byte: true when its lock bits allow the access; otherwise false after printing
// that the chip is read- or write-protected, what was refused (`refusal`) and how to clear it.
[[nodiscard]] bool lockBitsAllow(MemoryAccess access, std::string_view refusal);

} // namespace quillon
