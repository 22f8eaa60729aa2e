// SPDX-License-Identifier: MIT
// Programming the flash page by page from ImageBuffer.
#include <algorithm>
#include <optional>

#include "device/device.h"
#include "device/instructions.h"
#include "image/image.h"
#include "link/link.h"
#include "platform/progress.h"
#include "transfer/transfer.h"

namespace quillon {

namespace {

// The in-page word address mask of the page sizes the table holds; none for any other size.
std::optional<uint8_t> pageMask(int32_t pageWords) {
    switch (pageWords) {
    case 32:
        return 0x1F;
    case 64:
        return 0x3F;
    case 128:
        return 0x7F;
    default:
        return std::nullopt;
    }
}

} // namespace

int32_t programFlash(int32_t device, int32_t length) {
    if (device < 0 || device >= deviceCount) {
        return 0;
    }
    const int32_t pageWords = DeviceTable[static_cast<std::size_t>(device)].pageWords;
    const std::optional<uint8_t> mask = pageMask(pageWords);
    // Words are loaded whole, so the last word of an odd length takes ImageBuffer[length] as
    // its high byte; the end keeps that byte inside the buffer.
    const int32_t end = std::min(length, imageBufferBytes - 1);
    int32_t wordCount = 0;
    int32_t wordsInPage = 0;
    int32_t pageAddress = 0;

    loadExtendedAddress(0);
    progress::start("Programming flash", end);
    for (int32_t i = 0; i < end; i += 2) {
        if (opensExtendedBlock(wordCount)) {
            // The page writes carry bits 15..0 of the word address; the rest goes ahead.
            loadExtendedAddress(extendedAddressOf(wordCount));
        }
        if (mask) {
            const auto offset = static_cast<uint8_t>(wordCount & *mask);
            loadPageLow(offset, ImageBuffer[static_cast<std::size_t>(i)]);
            loadPageHigh(offset, ImageBuffer[static_cast<std::size_t>(i) + 1]);
        }
        ++wordCount;
        if (++wordsInPage == pageWords) {
            wordsInPage = 0;
            writeFlashPage(static_cast<uint16_t>(pageAddress));
            delayMicros(fullPageMicros);
            pageAddress += pageWords;
        }
        progress::advance(i + 2);
    }
    if (wordsInPage != 0) {
        writeFlashPage(static_cast<uint16_t>(pageAddress));
        delayMicros(lastPageMicros);
    }
    progress::finish();
    return length;
}

} // namespace quillon
