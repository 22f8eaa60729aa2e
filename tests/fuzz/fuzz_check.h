// SPDX-License-Identifier: MIT
// What the fuzzers share: stopping with the reason, and the test for an image filled to its end.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/image.h"

namespace quillon::fuzz {

// Stops the run, with what went wrong on standard error, unless `good`.
inline void check(bool good, const std::string& what) {
    if (!good) {
        std::fprintf(stderr, "%s\n", what.c_str());
        std::abort();
    }
}

// True when every byte of image from `from` on is `fill`: each byte equals the next, and the
// first of them is the fill byte.
inline bool filledFrom(const MemoryImage& image, std::size_t from, uint8_t fill) {
    const std::size_t n = image.size() - from;
    const uint8_t* bytes = image.data() + from;
    return n == 0 || (bytes[0] == fill && std::memcmp(bytes, bytes + 1, n - 1) == 0);
}

} // namespace quillon::fuzz
