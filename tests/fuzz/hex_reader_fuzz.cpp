// SPDX-License-Identifier: MIT
// The Intel HEX reader fed arbitrary bytes (the first one is the fill byte). Besides the
// sanitizers and the bounds-checked buffers, each input is checked against a plain reading of
// the reader's rules that converts its fields with sscanf's "%x" itself: the same verdict, and
// for a loaded file the same image and load length (the reference keeps it within ImageBuffer).
// The read-back buffer beside it is never touched.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "image/hex_reader.h"
#include "image/image.h"

namespace q = quillon;

namespace {

// What a sound reader makes of the text, step by step as the reader's rules tell it.
struct ReferenceReader {
    std::string_view text;
    std::size_t pos = 0;
    bool sawNul = false;
    q::MemoryImage image{};

    // count characters (fewer at the end), converted by "%x" as a string of their own.
    std::optional<int32_t> field(std::size_t count) {
        std::array<char, 5> chars{};
        const std::size_t taken = std::min(count, text.size() - pos);
        std::memcpy(chars.data(), text.data() + pos, taken);
        pos += taken;
        sawNul = sawNul || std::memchr(chars.data(), '\0', taken) != nullptr;
        unsigned value = 0;
        return std::sscanf(chars.data(), "%x", &value) == 1 ? std::optional(int32_t(value))
                                                            : std::nullopt;
    }

    q::HexLoad read(uint8_t fill) {
        image.fill(fill);
        q::HexLoad load;
        int32_t length = 0;
        int32_t offset = 0;
        int32_t type = 0;
        int64_t base = 0;
        while (pos < text.size() && !sawNul) {
            sawNul = text[pos] == '\0';
            if (text[pos++] != ':') {
                continue;
            }
            length = field(2).value_or(length);
            offset = field(4).value_or(offset);
            type = field(2).value_or(type);
            if (type == 0x00) {
                const int64_t start = base + offset;
                const int64_t end = start + length;
                if ((length > 0 && start < 0) || end < 0 || end > q::imageBufferBytes) {
                    load.status = q::HexLoadStatus::outsideImage;
                    return load;
                }
                for (int32_t i = 0; i < length; ++i) {
                    const auto value = field(2);
                    image[std::size_t(start + i)] = value ? uint8_t(*value & 0xFF) : fill;
                }
                load.loadLength = std::max(load.loadLength, int32_t(end));
            } else if (type == 0x02 || type == 0x04) {
                const auto value = field(4);
                const int64_t shifted = (value ? int64_t{*value} : base) << (type == 0x02 ? 4 : 16);
                base = std::clamp(shifted, -(int64_t{1} << 40), int64_t{1} << 40);
            }
            if (type == 0x00 || type == 0x01 || type == 0x02 || type == 0x04) {
                (void)field(2); // the checksum
            }
        }
        if (sawNul) {
            load.status = q::HexLoadStatus::binary; // a NUL among the characters read
        }
        return load;
    }
};

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
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const q::HexLoad load = q::readHexText(text, data[0]);
    check(q::ReadBackBuffer == guardPattern, "the reader wrote into ReadBackBuffer");
    const auto reference = std::make_unique<ReferenceReader>(); // 364 KB: not on the stack
    reference->text = text;
    const q::HexLoad expected = reference->read(data[0]);
    check(expected.status == load.status, "the verdict differs from the reader's rules");
    check(load.status != q::HexLoadStatus::loaded ||
              (expected.loadLength == load.loadLength && reference->image == q::ImageBuffer),
          "the load length or the image differs from the reader's rules");
    return 0;
}
