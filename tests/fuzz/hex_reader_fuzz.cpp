// SPDX-License-Identifier: MIT
// The Intel HEX reader fed arbitrary bytes (the first one is the fill byte), under the
// sanitizers. Whatever the text, the reader keeps to the image: a loaded file's length lies
// within ImageBuffer and everything from it on holds the fill byte; a refused record is refused
// for an address outside the image; the read-back buffer beside it is never touched; and a
// second reading of the same text gives the same verdict and image (nothing of the first
// reading is left over in it).
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "image/hex_reader.h"
#include "image/image.h"

namespace q = quillon;

namespace {

q::MemoryImage guardPattern{}; // what ReadBackBuffer holds throughout

void check(bool good, const char* what) {
    if (!good) {
        std::fprintf(stderr, "hex_reader_fuzz: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (std::size_t i = 0; i < guardPattern.size(); ++i) {
        guardPattern[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    q::ReadBackBuffer = guardPattern;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t fill = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const q::HexLoad load = q::readHexText(text, fill);
    check(q::ReadBackBuffer == guardPattern, "the reader wrote into ReadBackBuffer");
    if (load.status == q::HexLoadStatus::loaded) {
        check(load.loadLength >= 0 && load.loadLength <= q::imageBufferBytes,
              "the load length lies outside the image");
        for (auto i = static_cast<std::size_t>(load.loadLength); i < q::ImageBuffer.size(); ++i) {
            check(q::ImageBuffer[i] == fill, "a byte past the load length is not the fill byte");
        }
    }
    if (load.status == q::HexLoadStatus::outsideImage) {
        check(load.outsideAddress < 0 || load.outsideAddress >= q::imageBufferBytes,
              "a record was refused for an address inside the image");
    }
    const auto first = std::make_unique<q::MemoryImage>(q::ImageBuffer); // 364 KB: not on the stack
    const q::HexLoad again = q::readHexText(text, fill);
    check(again.status == load.status && again.loadLength == load.loadLength &&
              q::ImageBuffer == *first,
          "a second reading of the same text differs from the first");
    return 0;
}
