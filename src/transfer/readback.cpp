// SPDX-License-Identifier: MIT
// Copying the target's flash and EEPROM into ReadBackBuffer.
#include <algorithm>
#include <cstdio>
#include <span>

#include "image/image.h"
#include "link/programmer.h"
#include "platform/progress.h"
#include "transfer/transfer.h"

namespace quillon {

namespace {

void readInto(Memory memory, const char* title, int32_t end, std::size_t count) {
    progress::start(title, end);
    programmer().read(memory, std::span(ReadBackBuffer).first(count),
                      [](int32_t done) { progress::advance(done); });
    progress::finish();
}

} // namespace

void readBackFlash(int32_t /*device*/, int32_t length) {
    fillReadBackBuffer(0);
    std::printf("Read %d target flash bytes\n", length);
    // Whole words: an odd length reads its last word's high byte too.
    const int32_t end = std::clamp(length, 0, imageBufferBytes);
    readInto(Memory::flash, "Reading flash", end, static_cast<std::size_t>(end + 1) / 2 * 2);
}

void readBackEeprom(int32_t /*device*/, int32_t length) {
    fillReadBackBuffer(0);
    std::printf("Read %d target EEPROM bytes\n", length);
    const int32_t end = std::clamp(length, 0, imageBufferBytes);
    readInto(Memory::eeprom, "Reading EEPROM", end, static_cast<std::size_t>(end));
}

} // namespace quillon
