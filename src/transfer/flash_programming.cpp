// SPDX-License-Identifier: MIT
// Programming the flash page by page from the image.
#include <algorithm>
#include <span>

#include "device/device.h"
#include "image/image.h"
#include "link/programmer.h"
#include "platform/progress.h"
#include "transfer/transfer.h"

namespace quillon {

int32_t programFlash(Programmer& programmer, const DeviceRecord& device, const MemoryImage& image,
                     int32_t length) {
    // Words are loaded whole, so the last word of an odd length takes image[length] as
    // its high byte; the end keeps that byte inside the buffer.
    const int32_t end = std::min(length, imageBufferBytes - 1);
    const auto wholeWords = static_cast<std::size_t>(std::max(end, 0) + 1) / 2 * 2;
    progress::start("Programming flash", end);
    programmer.writeFlash(std::span(image).first(wholeWords), device.pageWords,
                          [](int32_t done) { progress::advance(done); });
    progress::finish();
    return length;
}

} // namespace quillon
