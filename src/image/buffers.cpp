// SPDX-License-Identifier: MIT
// Comparing and trimming the image and read-back buffers.
#include <algorithm>
#include <cstdio>

#include "image/image.h"

namespace quillon {

namespace {

// A caller's length as a count of bytes that lie inside the buffers.
std::size_t withinBuffers(int32_t length) {
    return static_cast<std::size_t>(std::clamp(length, int32_t{0}, imageBufferBytes));
}

} // namespace

int32_t compareBuffers(const ImageBuffers& buffers, int32_t length) {
    // Every byte is compared, so the count tells how much of the memory is wrong.
    const std::size_t count = withinBuffers(length);
    int32_t mismatches = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (buffers.image[i] != buffers.readBack[i]) {
            ++mismatches;
        }
    }
    if (mismatches == 0) {
        return buffersMatch;
    }
    std::printf("%d bytes mismatched\n", mismatches);
    return buffersDiffer;
}

int32_t trimTrailingErased(const MemoryImage& buffer, int32_t length) {
    const std::size_t count = withinBuffers(length);
    for (std::size_t end = count; end > 0; --end) {
        if (buffer[end - 1] != 0xFF) {
            return static_cast<int32_t>(end);
        }
    }
    // An erased memory counts as data over its whole size.
    return static_cast<int32_t>(count);
}

} // namespace quillon
