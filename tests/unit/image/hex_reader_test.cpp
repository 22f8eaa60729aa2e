// SPDX-License-Identifier: MIT
// The Intel HEX reader, in memory and as the program reads a file (a stream), on the same tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "commands/state.h"
#include "image/hex_reader.h"
#include "image/image.h"

namespace q = quillon;

namespace {

constexpr int F = 0xA5; // the fill byte: the gaps hold it

// The data field of n bytes of 0x33.
std::string threes(int n) {
    return std::string(static_cast<std::size_t>(2 * n), '3');
}

// Reads a text through one of the two readers.
using Reader = q::HexLoad (*)(const std::string& text, uint8_t fill);

q::HexLoad fromText(const std::string& text, uint8_t fill) {
    return q::readHexText(text, fill, q::Process.buffers.image);
}

q::HexLoad fromStream(const std::string& text, uint8_t fill) {
    std::string copy = text; // fmemopen of an empty buffer fails: keep one byte of room
    copy.push_back('\0');
    std::FILE* stream = fmemopen(copy.data(), text.size() + (text.empty() ? 1 : 0), "r");
    const q::HexLoad load = text.empty() ? q::readHexText("", fill, q::Process.buffers.image)
                                         : q::readHexStream(stream, fill, q::Process.buffers.image);
    std::fclose(stream);
    return load;
}

class HexReader : public ::testing::TestWithParam<Reader> {};

} // namespace

// Each row: a sound text loaded with the fill byte F, its load length, an address and the bytes
// expected from there on. The image ends at 364000 (0x58de0): a record may reach it.
TEST_P(HexReader, LoadsSoundFilesWithEveryLeniencyThatLosesNothing) {
    const std::vector<std::tuple<std::string, int32_t, int32_t, std::vector<int>>> cases{
        // The load length is the highest record's end, whatever the order of the records.
        {":0201000041427A\n:10000000" + threes(16) + "C0\n", 0x102, 0x100, {0x41, 0x42, F}},
        {":020000040001F9\n:0400100001020304E2\n", 65556, 65551, {F, 1, 2, 3, 4, F}},
        {":020000021000EC\n:020010000102EB\n", 65554, 65552, {1, 2, F}},
        {":04FFFE0001020304F5\n", 65538, 65534, {1, 2, 3, 4, F}}, // offsets don't wrap at 64 KiB
        {":020000040005F5\n:108DD000" + threes(16) + "63\n", 364000, 363998, {0x33, 0x33}},
        {":0100000009F6\n:00000001FF\n:020020000708CF\n", 0x22, 0x1F, {F, 7, 8}}, // after the end
        // Types 03 and 05 are skipped: taken as data or as an address they would show.
        {":0400000312345678E5\n:0400000500010000F6\n:0100080001F6\n", 9, 0, {F, F, F, F}},
        // Lower case, CR LF and LF, blank lines, text around records and after a checksum.
        {"a:030ab000abcdefdc\r\n\r\n b\t\n:010AB3000141 ; the last\nc",
         0xAB4,
         0xAB0,
         {0xAB, 0xCD, 0xEF, 1}},
        // A record without data bytes is no data and asks for no room.
        {":00FFFF0002\n:0100000009F6\n", 1, 0, {9, F}},
    };
    for (const auto& [text, loadLength, at, bytes] : cases) {
        q::Process.buffers.image.fill(0x5A); // anything the reader doesn't overwrite shows
        const q::HexLoad load = GetParam()(text, F);
        EXPECT_EQ(std::tie(load.status, load.loadLength),
                  std::make_tuple(q::HexLoadStatus::loaded, loadLength))
            << text;
        EXPECT_EQ(std::vector<int>(q::Process.buffers.image.begin() + at,
                                   q::Process.buffers.image.begin() + at +
                                       static_cast<int>(bytes.size())),
                  bytes)
            << text;
    }
}

// A file whose every byte can't be trusted is refused whole: the first damaged record, the line
// it starts on and what is wrong with it; a file without a data byte; a binary file.
TEST_P(HexReader, RefusesAFileWithADamagedRecordOrWithoutData) {
    using S = q::HexLoadStatus;
    using H = q::HexFault;
    const std::string first = ":0400000001020304F2\n";
    const std::vector<std::tuple<std::string, S, H, int32_t>> cases{
        {"", S::noData, H::none, 0},
        {"a README\r\nor C source; int x = 1;\n", S::noData, H::none, 0},
        {":00000001FF\n", S::noData, H::none, 0},
        {":00FFFF0002\n:00000001FF\n", S::noData, H::none, 0},
        {first + ":0100000009F7\n", S::malformed, H::checksum, 2},
        {"\n\n" + first + ":01000100G9F5\n", S::malformed, H::notHex, 4},
        {":0400000001 20304F2\n", S::malformed, H::notHex, 1},
        {first + ":08001000112233\n:00000001FF\n", S::malformed, H::shortLine, 2},
        {first + ":0800100011223344\r\n", S::malformed, H::shortLine, 2},
        {first + ":08001000112233", S::malformed, H::unfinished, 2},
        {first + ":", S::malformed, H::unfinished, 2},
        {":03000004010000F8\n" + first, S::malformed, H::addressLength, 1},
        {first + std::string(1, '\0'), S::binary, H::none, 0},
        {first + ":01000100" + std::string(1, '\0') + "9F5\n", S::binary, H::notHex, 2},
    };
    for (const auto& [text, status, fault, line] : cases) {
        const q::HexLoad load = GetParam()(text, F);
        EXPECT_EQ(std::tie(load.status, load.fault, load.line), std::tie(status, fault, line))
            << text;
    }
    const q::HexLoad checksum = GetParam()(":0100000009F7\n", F);
    EXPECT_EQ(std::tie(checksum.checksumGiven, checksum.checksumNeeded),
              std::make_tuple(uint8_t{0xF7}, uint8_t{0xF6}));
    EXPECT_EQ(GetParam()(":01000100G9F5\n", F).character, 'G');
}

// A record that would reach outside the image stops the reading before any of its bytes is
// stored (the sanitized build of this test catches any write outside).
TEST_P(HexReader, RefusesRecordsOutsideTheImage) {
    const std::string base5 = ":020000040005F5\n";
    const std::vector<std::pair<std::string, int64_t>> cases{
        {base5 + ":108DD100" + threes(16) + "62\n", 364000},
        {base5 + ":FF8D0000" + threes(255) + "A7\n", 364000},
        {":02000002FFFFFE\n:0100000001FE\n", 1048560},
        {":02000004FFFFFC\n:0100000001FE\n", int64_t{0xFFFF} << 16},
    };
    for (const auto& [text, address] : cases) {
        const q::HexLoad load = GetParam()(":0100000042BD\n" + text, 0xFF);
        EXPECT_EQ(std::tie(load.status, load.outsideAddress),
                  std::make_tuple(q::HexLoadStatus::outsideImage, address))
            << text;
        EXPECT_EQ(q::Process.buffers.image[0], 0x42);
        EXPECT_EQ(q::Process.buffers.image[q::imageBufferBytes - 1], 0xFF);
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, HexReader, ::testing::Values(fromText, fromStream),
                         [](const ::testing::TestParamInfo<Reader>& info) {
                             return info.param == fromText ? "InMemory" : "FromAFile";
                         });
