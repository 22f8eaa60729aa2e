// SPDX-License-Identifier: MIT
// Writing the EEPROM from the image.
#include <algorithm>
#include <span>

#include "image/image.h"
#include "link/programmer.h"
#include "platform/progress.h"
#include "transfer/transfer.h"

namespace quillon {

int32_t programEeprom(Programmer& programmer, const MemoryImage& image, int32_t length) {
    const int32_t end = std::clamp(length, 0, imageBufferBytes);
    progress::start("Programming EEPROM", end);
    programmer.writeEeprom(std::span(image).first(static_cast<std::size_t>(end)),
                           [](int32_t done) { progress::advance(done); });
    progress::finish();
    return length;
}

} // namespace quillon
