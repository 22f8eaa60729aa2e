// SPDX-License-Identifier: MIT
// Reading the target's memories back, programming them, and the memory commands' guards.
#pragma once

#include <cstdint>
#include <string_view>

#include "device/device.h"
#include "image/image.h"
#include "link/programmer.h"

namespace quillon {

// Reads the flash into `into` through `programmer`, in whole words (word w's low byte at 2w, high
// byte at 2w + 1), after clearing the buffer; an odd length also reads the last word's high
// byte. Prints "Read %d target flash bytes\n".
void readBackFlash(Programmer& programmer, MemoryImage& into, int32_t length);
// Reads the first length EEPROM bytes into `into` after clearing it. Prints "Read %d target
// EEPROM bytes\n".
void readBackEeprom(Programmer& programmer, MemoryImage& into, int32_t length);

// Programs the first length bytes of image into flash through `programmer`, page by page with
// the device's page size, from address 0; an odd length also loads image[length] as the last
// high byte. Returns length.
[[nodiscard]] int32_t programFlash(Programmer& programmer, const DeviceRecord& device,
                                   const MemoryImage& image, int32_t length);
// Writes the first length bytes of image into EEPROM through `programmer`. Returns length.
[[nodiscard]] int32_t programEeprom(Programmer& programmer, const MemoryImage& image,
                                    int32_t length);

// The current device's row, or null after printing that the target was not recognised and
// that `command` did nothing.
[[nodiscard]] const DeviceRecord* recognisedTarget(std::string_view command);

enum class MemoryAccess { read, write };

// Reads the lock byte: true when its lock bits allow the access; otherwise false after printing
// that the chip is read- or write-protected, what was refused (`refusal`) and how to clear it.
[[nodiscard]] bool lockBitsAllow(MemoryAccess access, std::string_view refusal);

} // namespace quillon
