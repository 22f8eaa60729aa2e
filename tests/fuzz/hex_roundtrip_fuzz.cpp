// SPDX-License-Identifier: MIT
// The Intel HEX writer and reader in a round trip: random bytes of a random length (up to the
// whole ImageBuffer, often near a 64 KiB boundary) written with either kind of address record
// read back as the same bytes with the same load length, the rest of the image the fill byte;
// and every line of the file is a record of at most 16 data bytes, its count matching its
// length, in lower-case hex pairs whose bytes add up to 0, the last one the end record.
//
// Input: byte 0 picks the address records (bit 0 clear: type 04, set: type 02), short or long
// lengths (bits 1 and 2 both set: long) and the fill byte the reader uses; bytes 1 to 3 give the
// length; the rest are the image's bytes, repeated to fill it.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "image/hex_reader.h"
#include "image/hex_writer.h"
#include "image/image.h"

namespace fs = std::filesystem;
namespace q = quillon;

namespace {

const fs::path path =
    fs::temp_directory_path() / ("quillon-roundtrip-" + std::to_string(getpid()) + ".hex");

void check(bool good, const std::string& what) {
    if (!good) {
        std::fprintf(stderr, "hex_roundtrip_fuzz: %s\n", what.c_str());
        std::abort();
    }
}

void checkLines(const std::string& text) {
    check(text.ends_with(":00000001FF\n"), "the file doesn't end with the end record");
    std::istringstream lines(text.substr(0, text.size() - 12));
    for (std::string line; std::getline(lines, line);) {
        unsigned sum = 0;
        for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
            sum += std::strtoul(line.substr(i, 2).c_str(), nullptr, 16);
        }
        const std::size_t count = std::strtoul((line + "  ").substr(1, 2).c_str(), nullptr, 16);
        check(line.size() >= 11 && line[0] == ':' && line.size() == 11 + 2 * count && count <= 16 &&
                  sum % 256 == 0 &&
                  line.find_first_not_of("0123456789abcdef", 1) == std::string::npos,
              "not a record in lower-case hex pairs with its count and checksum: " + line);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::atexit([] { fs::remove(path); });
    // The writer says where it writes, once an input: not worth showing.
    check(std::freopen("/dev/null", "w", stdout) != nullptr, "no /dev/null");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    const auto records =
        (data[0] & 1) != 0 ? q::AddressRecordType::segment : q::AddressRecordType::linear;
    const uint32_t raw = data[1] | uint32_t{data[2]} << 8 | uint32_t{data[3]} << 16;
    // Three inputs in four are short (up to 1 KiB); the others end near the first or second
    // 64 KiB boundary or the end of the buffer.
    constexpr std::array<int32_t, 3> ends{65536, 2 * 65536, q::imageBufferBytes};
    const int32_t length =
        (data[0] & 6) != 6
            ? static_cast<int32_t>(raw & 0x3FF) - 8
            : std::min(q::imageBufferBytes, ends[(raw >> 17) % ends.size()] +
                                                static_cast<int32_t>(raw & 0xFFFF) - 65536 / 2);
    const auto filled = static_cast<std::size_t>(std::clamp(length + 16, 0, q::imageBufferBytes));
    for (std::size_t i = 0; i < filled; ++i) {
        q::ReadBackBuffer[i] = data[4 + i % (size - 4)];
    }
    check(q::writeHexFile(path.string(), length, records) == q::hexFileWritten,
          "the file was not written");
    std::ostringstream file;
    file << std::ifstream(path, std::ios::binary).rdbuf();
    checkLines(file.str());

    const auto fill = static_cast<uint8_t>(data[0] ^ 0x5A);
    const q::HexLoad load = q::readHexText(file.str(), fill);
    const int32_t expected = std::max(length, 0);
    check(load.status == q::HexLoadStatus::loaded && load.loadLength == expected,
          "read back with load length " + std::to_string(load.loadLength) + ", written " +
              std::to_string(expected));
    auto* const end = q::ImageBuffer.begin() + expected;
    check(std::equal(q::ImageBuffer.begin(), end, q::ReadBackBuffer.begin()),
          "the bytes read back differ from those written");
    check(std::all_of(end, q::ImageBuffer.end(), [fill](uint8_t b) { return b == fill; }),
          "bytes beyond the written length aren't the fill byte");
    return 0;
}
