// SPDX-License-Identifier: MIT
// The Intel HEX reader fed arbitrary bytes (the first one is the fill byte). Besides the
// sanitizers and the bounds-checked buffers, each input is checked against a plain reading of
// the reader's rules that converts its fields with sscanf's "%x" itself: the same image, the same
// load length, the same verdict. The load length always lies within ImageBuffer, and the
// read-back buffer beside it is never touched.
#include <algorithm>
#include <array>
#include <cstdint>
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
class ReferenceReader {
  public:
    ReferenceReader(std::string_view text, uint8_t fill) : text_(text) { image_.fill(fill); }

    q::HexLoad run(uint8_t fill) {
        q::HexLoad load = read(fill);
        if (sawNul_) {
            load.status = q::HexLoadStatus::binary; // a NUL among the characters read
        }
        return load;
    }

    [[nodiscard]] const q::MemoryImage& image() const { return image_; }

  private:
    q::HexLoad read(uint8_t fill) {
        q::HexLoad load;
        int32_t length = 0;
        int32_t offset = 0;
        int32_t type = 0;
        int64_t base = 0;
        while (pos_ < text_.size() && !sawNul_) {
            sawNul_ = text_[pos_] == '\0';
            if (text_[pos_++] != ':') {
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
                    const std::optional<int32_t> value = field(2);
                    image_[static_cast<std::size_t>(start + i)] =
                        value ? static_cast<uint8_t>(*value & 0xFF) : fill;
                }
                (void)field(2);
                load.loadLength = std::max(load.loadLength, static_cast<int32_t>(end));
            } else if (type == 0x02 || type == 0x04) {
                const std::optional<int32_t> value = field(4);
                const int64_t shifted =
                    (value ? *value : base) * (int64_t{1} << (type == 0x02 ? 4 : 16));
                base = std::clamp(shifted, -(int64_t{1} << 40), int64_t{1} << 40);
                (void)field(2);
            } else if (type == 0x01) {
                (void)field(2);
            }
        }
        return load;
    }

    // count characters (fewer at the end), converted by "%x" as a string of their own.
    std::optional<int32_t> field(std::size_t count) {
        std::array<char, 5> text{};
        const std::size_t taken = std::min(count, text_.size() - pos_);
        std::memcpy(text.data(), text_.data() + pos_, taken);
        pos_ += taken;
        sawNul_ = sawNul_ || std::memchr(text.data(), '\0', taken) != nullptr;
        unsigned value = 0;
        if (std::sscanf(text.data(), "%x", &value) != 1) {
            return std::nullopt;
        }
        return static_cast<int32_t>(value);
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    bool sawNul_ = false;
    q::MemoryImage image_{};
};

// Filled once with a pattern that the reader must leave alone.
q::MemoryImage guardPattern{};

void fail(const char* what) {
    std::fprintf(stderr, "hex_reader_fuzz: %s\n", what);
    std::abort();
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
    if (load.status == q::HexLoadStatus::loaded &&
        (load.loadLength < 0 || load.loadLength > q::imageBufferBytes)) {
        fail("load length outside ImageBuffer");
    }
    if (q::ReadBackBuffer != guardPattern) {
        fail("the reader wrote into ReadBackBuffer");
    }

    const auto reference = std::make_unique<ReferenceReader>(text, fill); // 364000 bytes
    const q::HexLoad expected = reference->run(fill);
    if (expected.status != load.status) {
        fail("the verdict differs from the reader's rules");
    }
    if (load.status == q::HexLoadStatus::loaded) {
        if (expected.loadLength != load.loadLength) {
            fail("the load length differs from the reader's rules");
        }
        if (reference->image() != q::ImageBuffer) {
            fail("the image differs from the reader's rules");
        }
    }
    return 0;
}
