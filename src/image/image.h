// SPDX-License-Identifier: MIT
// The image and read-back buffers, their comparison and trimming.
#pragma once

#include <array>
#include <cstdint>

namespace quillon {

inline constexpr int32_t imageBufferBytes = 364000;

using MemoryImage = std::array<uint8_t, imageBufferBytes>;

// What is to be written into the target, indexed by target byte address (flash words low byte
// first).
inline MemoryImage ImageBuffer{};
// What was read out of the target, indexed the same way.
inline MemoryImage ReadBackBuffer{};

// Which buffer trimTrailingErased examines, held as the 32-bit value it has always been.
enum class BufferSelector : int32_t {
    image = 1,    // ImageBuffer
    readBack = 2, // ReadBackBuffer
};

// Results of compareBuffers.
inline constexpr int32_t buffersMatch = 1;
inline constexpr int32_t buffersDiffer = -1;

// Sets every byte of ImageBuffer to value.
void fillImageBuffer(uint8_t value);
// Sets every byte of ReadBackBuffer to value.
void fillReadBackBuffer(uint8_t value);

// Compares the first length bytes of the two buffers (a length beyond the buffers compares the
// whole buffers). Prints "%d bytes mismatched\n" when any differ. Returns buffersMatch or
// buffersDiffer, never 0.
[[nodiscard]] int32_t compareBuffers(int32_t length);

// The number of bytes of the selected buffer's first length bytes up to and including the last
// byte that isn't 0xFF; length itself when all of them are 0xFF. Lengths are taken within 0 and
// the buffer's size.
[[nodiscard]] int32_t trimTrailingErased(BufferSelector selector, int32_t length);

} // namespace quillon
