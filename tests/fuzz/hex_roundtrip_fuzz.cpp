// SPDX-License-Identifier: MIT
// The Intel HEX writer and reader in a round trip: random bytes of a random length (up to the
// whole ImageBuffer, often near a 64 KiB boundary) written with either kind of address record
// read back as the same bytes with the same load length, and every line of the file is a
// well-formed record whose bytes add up to 0.
//
// Input: byte 0 picks the address records (bit 0 clear: type 04, set: type 02), short or long
// lengths (bits 1 and 2 both set: long) and the fill byte the reader uses; bytes 1 to 3 give the
// length; the rest are the image's bytes, repeated to fill it.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "image/hex_reader.h"
#include "image/hex_writer.h"
#include "image/image.h"

namespace fs = std::filesystem;
namespace q = quillon;

namespace {

fs::path folder;
fs::path hexPath;

void fail(const std::string& what) {
    std::fprintf(stderr, "hex_roundtrip_fuzz: %s\n", what.c_str());
    std::abort();
}

void removeFolder() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c == 'F' ? 15 : -1; // upper case only in the end record's "FF"
}

// Every line: ':' then pairs of hexadecimal digits, the count byte matching the line's length,
// at most 16 data bytes, and all bytes adding up to 0 modulo 256.
void checkLines(std::string_view text) {
    std::string_view last;
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (end == std::string_view::npos) {
            fail("the file doesn't end with a line end");
        }
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (line.size() < 11 || line[0] != ':' || (line.size() - 1) % 2 != 0) {
            fail("malformed line: " + std::string(line));
        }
        unsigned sum = 0;
        for (std::size_t i = 1; i < line.size(); i += 2) {
            const int high = hexDigit(line[i]);
            const int low = hexDigit(line[i + 1]);
            if (high < 0 || low < 0) {
                fail("not a lower-case hexadecimal pair: " + std::string(line));
            }
            sum += static_cast<unsigned>(high * 16 + low);
        }
        const int count = hexDigit(line[1]) * 16 + hexDigit(line[2]);
        if ((sum & 0xFF) != 0 || count > 16 ||
            line.size() != 11 + 2 * static_cast<std::size_t>(count)) {
            fail("bad count or checksum: " + std::string(line));
        }
        last = line;
    }
    if (last != ":00000001FF") {
        fail("the file doesn't end with the end record");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (fs::temp_directory_path() / "quillon-roundtrip-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("hex_roundtrip_fuzz: mkdtemp");
        std::abort();
    }
    folder = pattern;
    hexPath = folder / "image.hex";
    // The writer says where it writes, once an input: not worth showing.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::perror("hex_roundtrip_fuzz: /dev/null");
    }
    std::atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    const q::AddressRecordType addressRecords =
        (data[0] & 1) != 0 ? q::AddressRecordType::segment : q::AddressRecordType::linear;
    // Lengths near the 64 KiB boundaries are the interesting ones: the top bits pick a boundary,
    // the rest an offset around it.
    const uint32_t raw = data[1] | uint32_t{data[2]} << 8 | uint32_t{data[3]} << 16;
    // Three inputs in four are short (up to 1 KiB, fast to write and read); the others end
    // near the first or second 64 KiB boundary or the end of the buffer.
    constexpr std::array<int32_t, 3> ends{65536, 2 * 65536, q::imageBufferBytes};
    const int32_t near = ends[(raw >> 17) % ends.size()];
    const int32_t length =
        (data[0] & 6) != 6
            ? static_cast<int32_t>(raw & 0x3FF) - 8
            : std::min(q::imageBufferBytes, near + static_cast<int32_t>(raw & 0xFFFF) - 65536 / 2);
    const uint8_t* bytes = data + 4;
    const std::size_t count = size - 4;
    const auto filled = static_cast<std::size_t>(std::clamp(length + 16, 0, q::imageBufferBytes));
    for (std::size_t i = 0; i < filled; ++i) {
        q::ReadBackBuffer[i] = bytes[i % count];
    }

    if (q::writeHexFile(hexPath.string(), length, addressRecords) != q::hexFileWritten) {
        fail("the file was not written");
    }
    std::ifstream in(hexPath, std::ios::binary);
    std::ostringstream file;
    file << in.rdbuf();
    checkLines(file.str());

    const auto fill = static_cast<uint8_t>(data[0] ^ 0x5A);
    const q::HexLoad load = q::readHexText(file.str(), fill);
    const int32_t expected = std::max(length, 0);
    if (load.status != q::HexLoadStatus::loaded || load.loadLength != expected) {
        fail("read back with load length " + std::to_string(load.loadLength) + ", written " +
             std::to_string(expected));
    }
    const auto end = static_cast<std::size_t>(expected);
    if (!std::equal(q::ImageBuffer.begin(), q::ImageBuffer.begin() + end,
                    q::ReadBackBuffer.begin())) {
        fail("the bytes read back differ from those written");
    }
    if (std::any_of(q::ImageBuffer.begin() + end, q::ImageBuffer.end(),
                    [fill](uint8_t b) { return b != fill; })) {
        fail("bytes beyond the written length aren't the fill byte");
    }
    return 0;
}
