// SPDX-License-Identifier: MIT
// Copying the target's flash and EEPROM into a buffer.
#include <algorithm>
#include <cstdio>
#include <span>

#include "image/image.h"
#include "link/programmer.h"
#include "platform/progress.h"
#include "transfer/transfer.h"

namespace quillon {

namespace {

void readInto(Programmer& programmer, Memory memory, MemoryImage& into, const char* title,
              int32_t end, std::size_t count) {
    into.fill(0);
    progress::start(title, end);
    programmer.read(memory, std::span(into).first(count),
                    [](int32_t done) { progress::advance(done); });
    progress::finish();
}

} // namespace

void readBackFlash(Programmer& programmer, MemoryImage& into, int32_t length) {
    std::printf("Read %d target flash bytes\n", length);
    // Whole words: an odd length reads its last word's high byte too.
    const int32_t end = std::clamp(length, 0, imageBufferBytes);
    readInto(programmer, Memory::flash, into, "Reading flash", end,
             static_cast<std::size_t>(end + 1) / 2 * 2);
}

void readBackEeprom(Programmer& programmer, MemoryImage& into, int32_t length) {
    std::printf("Read %d target EEPROM bytes\n", length);
    const int32_t end = std::clamp(length, 0, imageBufferBytes);
    readInto(programmer, Memory::eeprom, into, "Reading EEPROM", end,
             static_cast<std::size_t>(end));
}

} // namespace quillon
