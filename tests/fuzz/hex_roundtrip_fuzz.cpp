// SPDX-License-Identifier: MIT
// The Intel HEX writer and the program's stream reader in a round trip: random bytes of a random
// length (up to 1 KiB) written with either kind of address record read back as the same bytes
// with the same load length (no data at all for an empty image), the rest of the image the fill
// byte;
// and every line of the file is a record of at most 16 data bytes, its count matching its
// length, in lower-case hex pairs whose bytes add up to 0, the last one the end record.
//
// Input: byte 0 picks the address records (bit 0 clear: type 04, set: type 02) and the fill byte
// the reader uses; bytes 1 and 2 give the length; from byte 4 on come the image's bytes, repeated
// to fill it.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "commands/state.h"
#include "image/hex_reader.h"
#include "image/hex_writer.h"
#include "image/image.h"

namespace fs = std::filesystem;
namespace q = quillon;

namespace {

// In memory where the system has such a folder: every upload is synced to the disk, which on a
// real disk would take most of each run.
const fs::path path =
    (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
    ("quillon-roundtrip-" + std::to_string(getpid()) + ".hex");

void check(bool good, const std::string& what) {
    if (!good) {
        std::fprintf(stderr, "hex_roundtrip_fuzz: %s\n", what.c_str());
        std::abort();
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; // upper case is no digit here
}

void checkLines(std::string_view text) {
    constexpr std::string_view endRecord = ":00000001FF\n";
    check(text.ends_with(endRecord), "the file doesn't end with the end record");
    text.remove_suffix(endRecord.size());
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        check(end != std::string_view::npos, "a line without its line end");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        bool digits = line.size() >= 11 && line.size() % 2 == 1 && line[0] == ':';
        unsigned sum = 0;
        std::size_t count = 0;
        for (std::size_t i = 1; digits && i + 1 < line.size(); i += 2) {
            const int high = hexDigit(line[i]);
            const int low = hexDigit(line[i + 1]);
            digits = high >= 0 && low >= 0;
            const auto byte = static_cast<unsigned>(high * 16 + low);
            sum += byte;
            count = i == 1 ? byte : count;
        }
        check(digits && line.size() == 11 + 2 * count && count <= 16 && sum % 256 == 0,
              "not a record in lower-case hex pairs with its count and checksum: " +
                  std::string(line));
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
    const uint32_t raw = data[1] | uint32_t{data[2]} << 8;
    // Up to 1 KiB, where a run takes a fraction of a millisecond. The 64 KiB boundaries, where a
    // run would write and read 180 KB of text or more (a tenth of a second and up under the
    // sanitizers), are the unit tests' and the memory tests' (tests/unit/image, tests/e2e/memory).
    const int32_t length = static_cast<int32_t>(raw & 0x3FF) - 8;
    const auto filled = static_cast<std::size_t>(std::clamp(length + 16, 0, q::imageBufferBytes));
    for (std::size_t i = 0; i < filled; ++i) {
        q::Process.buffers.readBack[i] = data[4 + i % (size - 4)];
    }
    check(q::writeHexFile(path.string(), q::Process.buffers.readBack, length, records) ==
              q::hexFileWritten,
          "the file was not written");
    // Read back as the program reads a download file, from the stream of the file.
    const auto fill = static_cast<uint8_t>(data[0] ^ 0x5A);
    std::FILE* stream = std::fopen(path.c_str(), "r");
    check(stream != nullptr, "the file can't be opened");
    const q::HexLoad load = q::readHexStream(stream, fill, q::Process.buffers.image);
    std::rewind(stream);
    std::string text(static_cast<std::size_t>(std::max(length, 0)) * 3 + 128, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), stream));
    std::fclose(stream);
    checkLines(text);
    const int32_t expected = std::max(length, 0);
    // A file of the end record alone holds no data, and is refused as such.
    const auto status = expected > 0 ? q::HexLoadStatus::loaded : q::HexLoadStatus::noData;
    check(load.status == status && load.loadLength == expected,
          "read back with load length " + std::to_string(load.loadLength) + ", written " +
              std::to_string(expected));
    auto* const end = q::Process.buffers.image.begin() + expected;
    check(std::equal(q::Process.buffers.image.begin(), end, q::Process.buffers.readBack.begin()),
          "the bytes read back differ from those written");
    // Every byte from the end on equals the next, and the first of them is the fill byte.
    const auto rest = static_cast<std::size_t>(q::Process.buffers.image.end() - end);
    check(rest == 0 || (*end == fill && std::memcmp(end, end + 1, rest - 1) == 0),
          "bytes beyond the written length aren't the fill byte");
    return 0;
}
