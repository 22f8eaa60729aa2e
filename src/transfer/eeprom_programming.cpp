// SPDX-License-Identifier: MIT
// Writing the EEPROM byte by byte from ImageBuffer.
#include <algorithm>

#include "device/instructions.h"
#include "image/image.h"
#include "link/link.h"
#include "platform/progress.h"
#include "transfer/transfer.h"

namespace quillon {

int32_t programEeprom(int32_t /*device*/, int32_t length) {
    // Every byte is written, whatever it holds: the write instruction erases the byte itself.
    const int32_t end = std::min(length, imageBufferBytes);
    progress::start("Programming EEPROM", end);
    for (int32_t i = 0; i < end; ++i) {
        writeEepromByte(static_cast<uint16_t>(i), ImageBuffer[static_cast<std::size_t>(i)]);
        delayMicros(eepromByteMicros);
        progress::advance(i + 1);
    }
    progress::finish();
    return length;
}

} // namespace quillon
