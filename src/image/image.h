// SPDX-License-Identifier: MIT
// The image and read-back buffers, their comparison and trimming.
#pragma once

#include <array>
#include <cstdint>

namespace quillon {

inline constexpr int32_t imageBufferBytes = 364000;

using MemoryImage = std::array<uint8_t, imageBufferBytes>;

// The image layer's part of the process state. The layer itself keeps none: its operations take
// the buffers they work on.
struct ImageBuffers {
    // What is to be written into the target, indexed by target byte address (flash words low
    // byte first).
    MemoryImage image{};
    // What was read out of the target, indexed the same way.
    MemoryImage readBack{};
};

// Results of compareBuffers.
inline constexpr int32_t buffersMatch = 1;
inline constexpr int32_t buffersDiffer = -1;

// Compares the first length bytes of the image with those read back (a length beyond the buffers
// compares the whole buffers). Prints "%d bytes mismatched\n" when any differ. Returns buffersMatch
// or buffersDiffer, never 0.
[[nodiscard]] int32_t compareBuffers(const ImageBuffers& buffers, int32_t length);

// The number of bytes of buffer's first length bytes up to and including the last
// byte that isn't 0xFF; length itself when all of them are 0xFF. Lengths are taken within 0 and
// the buffer's size.
[[nodiscard]] int32_t trimTrailingErased(const MemoryImage& buffer, int32_t length);

} // namespace quillon
