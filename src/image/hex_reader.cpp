// SPDX-License-Identifier: MIT
// The lenient Intel HEX reader: records are found by their ':' alone, their fields are taken
// by count whatever the characters are, and converted the way "%x" converts a short string.
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "image/hex_reader.h"
#include "image/hex_value.h"
#include "image/image.h"

namespace quillon {

namespace {

constexpr int endOfInput = -1;

// Characters of an in-memory text.
class TextSource {
  public:
    explicit TextSource(std::string_view text) : text_(text) {}
    int next() {
        return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_++]) : endOfInput;
    }
    // NOLINTNEXTLINE(readability-convert-member-functions-to-static): as the file source's
    [[nodiscard]] bool failed() const { return false; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Characters of a stream, read a block at a time.
class StreamSource {
  public:
    explicit StreamSource(std::FILE* stream) : stream_(stream) {}
    int next() {
        if (pos_ == filled_) {
            if (ended_) {
                return endOfInput;
            }
            filled_ = std::fread(block_.data(), 1, block_.size(), stream_);
            pos_ = 0;
            if (filled_ == 0) {
                ended_ = true;
                return endOfInput;
            }
        }
        return static_cast<unsigned char>(block_[pos_++]);
    }
    [[nodiscard]] bool failed() const { return std::ferror(stream_) != 0; }

  private:
    std::FILE* stream_;
    std::array<char, 16384> block_{};
    std::size_t filled_ = 0;
    std::size_t pos_ = 0;
    bool ended_ = false;
};

// Converts a field's characters as "%x" converts the C string they make: a NUL ends it.
std::optional<int32_t> convertField(std::string_view field) {
    const std::optional<uint32_t> value = readHexNumber(field.substr(0, field.find('\0')));
    if (!value) {
        return std::nullopt;
    }
    return static_cast<int32_t>(*value);
}

// A base far outside the image stays far outside it however often it is shifted again, and
// the arithmetic never overflows.
constexpr int64_t baseLimit = int64_t{1} << 40;

int64_t shiftedBase(int64_t value, int shift) {
    return std::clamp(value * (int64_t{1} << shift), -baseLimit, baseLimit);
}

template <typename Source>
class HexParser {
  public:
    HexParser(Source& source, uint8_t fill) : source_(source), fill_(fill) {}

    HexLoad run() {
        HexLoad load;
        for (int c = next(); c != endOfInput && !sawNul_; c = next()) {
            if (c == ':' && !record(load)) {
                break;
            }
        }
        if (sawNul_) {
            load.status = HexLoadStatus::binary; // no text file holds a NUL
        }
        if (load.status == HexLoadStatus::loaded && source_.failed()) {
            load.status = HexLoadStatus::unreadable;
        }
        return load;
    }

  private:
    int next() {
        const int c = source_.next();
        sawNul_ = sawNul_ || c == 0;
        return c;
    }

    // Takes count characters (fewer at the end of the input) and converts them.
    std::optional<int32_t> field(std::size_t count) {
        std::array<char, 4> text{};
        std::size_t taken = 0;
        while (taken < count) {
            const int c = next();
            if (c == endOfInput) {
                break;
            }
            text[taken++] = static_cast<char>(c);
        }
        return convertField(std::string_view(text.data(), taken));
    }

    // Sets a field from count characters; a field without a number keeps its value.
    void keep(int32_t& value, std::size_t count) { value = field(count).value_or(value); }

    // Reads one record after its ':'. False when it was refused.
    bool record(HexLoad& load) {
        keep(length_, 2);
        keep(offset_, 4);
        keep(type_, 2);
        switch (type_) {
        case 0x00:
            if (!dataRecord(load)) {
                return false;
            }
            break;
        case 0x02:
        case 0x04: {
            const int shift = type_ == 0x02 ? 4 : 16;
            const std::optional<int32_t> value = field(4);
            base_ = shiftedBase(value ? *value : base_, shift);
            (void)field(2); // checksum, not checked
            break;
        }
        case 0x01:
            (void)field(2);
            break;
        default:
            break; // the rest of the record is skipped by the search for the next ':'
        }
        return true;
    }

    bool dataRecord(HexLoad& load) {
        const int64_t start = base_ + offset_;
        const int64_t end = start + length_;
        if ((length_ > 0 && start < 0) || end < 0 || end > imageBufferBytes) {
            load.status = HexLoadStatus::outsideImage;
            load.outsideAddress = start < 0 || end < 0 ? std::min(start, end)
                                                       : std::max<int64_t>(start, imageBufferBytes);
            return false;
        }
        for (int32_t i = 0; i < length_; ++i) {
            const std::optional<int32_t> value = field(2);
            ImageBuffer[static_cast<std::size_t>(start + i)] =
                value ? static_cast<uint8_t>(*value & 0xFF) : fill_;
        }
        (void)field(2); // checksum, not checked
        // Records may come in any order (two files joined, a tool that sorts nothing): the
        // image reaches to the end of the highest one, wherever it stands in the file.
        load.loadLength = std::max(load.loadLength, static_cast<int32_t>(end));
        return true;
    }

    Source& source_;
    uint8_t fill_;
    int64_t base_ = 0;
    int32_t length_ = 0;
    int32_t offset_ = 0;
    int32_t type_ = 0;
    bool sawNul_ = false;
};

template <typename Source>
HexLoad readHex(Source& source, uint8_t fill) {
    fillImageBuffer(fill);
    return HexParser<Source>(source, fill).run();
}

} // namespace

HexLoad readHexText(std::string_view text, uint8_t fill) {
    TextSource source(text);
    return readHex(source, fill);
}

HexLoad readHexStream(std::FILE* stream, uint8_t fill) {
    StreamSource source(stream);
    return readHex(source, fill);
}

} // namespace quillon
