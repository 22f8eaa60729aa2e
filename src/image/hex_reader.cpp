// SPDX-License-Identifier: MIT
// The Intel HEX reader: a record starts at its ':' and is read and checked whole (digits, line,
// checksum) before any of its bytes reaches the image; the first damaged record ends the reading.
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "image/hex_reader.h"
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
    std::array<char, 16384> block_; // filled by fread before it is read
    std::size_t filled_ = 0;
    std::size_t pos_ = 0;
    bool ended_ = false;
};

std::optional<uint8_t> digitValue(int c) {
    if (c >= '0' && c <= '9') {
        return static_cast<uint8_t>(c - '0');
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<uint8_t>(c - 'a' + 10);
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<uint8_t>(c - 'A' + 10);
    }
    return std::nullopt;
}

// A base far outside the image stays far outside it, and the arithmetic never overflows.
constexpr int64_t baseLimit = int64_t{1} << 40;

// One record as read: its byte count, offset, type and data bytes, all checked.
struct Record {
    uint8_t count = 0;
    uint16_t offset = 0;
    uint8_t type = 0;
    std::array<uint8_t, 255> data{};
};

constexpr uint8_t dataType = 0x00;
constexpr uint8_t segmentType = 0x02;
constexpr uint8_t linearType = 0x04;

template <typename Source>
class HexParser {
  public:
    HexParser(Source& source, MemoryImage& image) : source_(source), image_(image) {}

    HexLoad run() {
        HexLoad load;
        for (int c = next(); c != endOfInput; c = next()) {
            if (c == '\n') {
                ++line_;
            } else if (c == ':' && !record(load)) {
                break;
            }
        }
        // What follows a refused record is only looked at for the NUL of a binary file.
        while (!sawNul_ && next() != endOfInput) {
        }
        if (sawNul_) {
            load.status = HexLoadStatus::binary; // no text file holds a NUL
        } else if (source_.failed()) {
            load.status = HexLoadStatus::unreadable;
        } else if (load.status == HexLoadStatus::loaded && !sawData_) {
            load.status = HexLoadStatus::noData;
        }
        return load;
    }

  private:
    int next() {
        const int c = source_.next();
        sawNul_ = sawNul_ || c == 0;
        return c;
    }

    // Refuses the record that starts on the current line.
    bool refuse(HexLoad& load, HexFault fault) {
        load.status = HexLoadStatus::malformed;
        load.fault = fault;
        load.line = line_;
        return false;
    }

    // Two hexadecimal digits; nothing after refusing the record.
    std::optional<uint8_t> byte(HexLoad& load) {
        uint8_t value = 0;
        for (int digit = 0; digit < 2; ++digit) {
            const int c = next();
            if (c == endOfInput) {
                (void)refuse(load, HexFault::unfinished);
                return std::nullopt;
            }
            if (c == '\n' || c == '\r') {
                (void)refuse(load, HexFault::shortLine);
                return std::nullopt;
            }
            const std::optional<uint8_t> nibble = digitValue(c);
            if (!nibble) {
                (void)refuse(load, HexFault::notHex);
                load.character = static_cast<uint8_t>(c);
                return std::nullopt;
            }
            value = static_cast<uint8_t>(value << 4 | *nibble);
        }
        sum_ = static_cast<uint8_t>(sum_ + value);
        return value;
    }

    // Reads one record after its ':', checks it and uses it. False when it was refused.
    bool record(HexLoad& load) {
        sum_ = 0;
        Record r;
        std::array<uint8_t, 4> header{};
        for (uint8_t& field : header) {
            const std::optional<uint8_t> value = byte(load);
            if (!value) {
                return false;
            }
            field = *value;
        }
        r.count = header[0];
        r.offset = static_cast<uint16_t>(header[1] << 8 | header[2]);
        r.type = header[3];
        load.byteCount = r.count;
        load.recordType = r.type;
        for (std::size_t i = 0; i < r.count; ++i) {
            const std::optional<uint8_t> value = byte(load);
            if (!value) {
                return false;
            }
            r.data[i] = *value;
        }
        const auto needed = static_cast<uint8_t>(0x100 - sum_);
        const std::optional<uint8_t> checksum = byte(load);
        if (!checksum) {
            return false;
        }
        if (*checksum != needed) {
            load.checksumGiven = *checksum;
            load.checksumNeeded = needed;
            return refuse(load, HexFault::checksum);
        }
        return use(load, r);
    }

    bool use(HexLoad& load, const Record& r) {
        if (r.type == segmentType || r.type == linearType) {
            if (r.count != 2) {
                return refuse(load, HexFault::addressLength);
            }
            const int64_t value = r.data[0] << 8 | r.data[1];
            base_ = std::min(value << (r.type == segmentType ? 4 : 16), baseLimit);
            return true;
        }
        if (r.type != dataType || r.count == 0) {
            return true; // the end record, types 03 and 05, and empty data records: no data
        }
        const int64_t start = base_ + r.offset;
        const int64_t end = start + r.count;
        if (end > imageBufferBytes) {
            load.status = HexLoadStatus::outsideImage;
            load.outsideAddress = std::max<int64_t>(start, imageBufferBytes);
            return false;
        }
        std::copy_n(r.data.begin(), r.count, image_.begin() + start);
        // Records may come in any order (two files joined, a tool that sorts nothing): the
        // image reaches to the end of the highest one, wherever it stands in the file.
        load.loadLength = std::max(load.loadLength, static_cast<int32_t>(end));
        sawData_ = true;
        return true;
    }

    Source& source_;
    MemoryImage& image_;
    int64_t base_ = 0;
    int32_t line_ = 1;
    uint8_t sum_ = 0;
    bool sawNul_ = false;
    bool sawData_ = false;
};

template <typename Source>
HexLoad readHex(Source& source, uint8_t fill, MemoryImage& image) {
    image.fill(fill);
    return HexParser<Source>(source, image).run();
}

} // namespace

HexLoad readHexText(std::string_view text, uint8_t fill, MemoryImage& image) {
    TextSource source(text);
    return readHex(source, fill, image);
}

HexLoad readHexStream(std::FILE* stream, uint8_t fill, MemoryImage& image) {
    StreamSource source(stream);
    return readHex(source, fill, image);
}

} // namespace quillon
