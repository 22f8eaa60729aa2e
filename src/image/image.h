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

} // namespace quillon
