// SPDX-License-Identifier: MIT
// Copying the target's flash and EEPROM into ReadBackBuffer, one instruction per byte.
#include <algorithm>
#include <cstdio>

#include "device/instructions.h"
#include "image/image.h"
#include "platform/progress.h"
#include "transfer/transfer.h"

namespace quillon {

void readBackFlash(int32_t /*device*/, int32_t length) {
    fillReadBackBuffer(0);
    std::printf("Read %d target flash bytes\n", length);
    loadExtendedAddress(0);
    // Whole words: the test comes before each low byte only. The read instructions carry bits
    // 15..0 of the word address; above 64K words the extended address gives the rest.
    const int32_t end = std::min(length, imageBufferBytes);
    progress::start("Reading flash", end);
    for (int32_t i = 0; i < end; i += 2) {
        if (opensExtendedBlock(i / 2)) {
            loadExtendedAddress(extendedAddressOf(i / 2));
        }
        const auto word = static_cast<uint16_t>(i / 2);
        ReadBackBuffer[static_cast<std::size_t>(i)] = readFlashLow(word);
        if (i + 1 < imageBufferBytes) {
            ReadBackBuffer[static_cast<std::size_t>(i) + 1] = readFlashHigh(word);
        }
        progress::advance(i + 2);
    }
    progress::finish();
}

void readBackEeprom(int32_t /*device*/, int32_t length) {
    fillReadBackBuffer(0);
    std::printf("Read %d target EEPROM bytes\n", length);
    const int32_t end = std::min(length, imageBufferBytes);
    progress::start("Reading EEPROM", end);
    for (int32_t i = 0; i < end; ++i) {
        ReadBackBuffer[static_cast<std::size_t>(i)] = readEepromByte(static_cast<uint16_t>(i));
        progress::advance(i + 1);
    }
    progress::finish();
}

} // namespace quillon
