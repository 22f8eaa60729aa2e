// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "image/hex_reader.h"
#include "image/image.h"

namespace q = quillon;

namespace {

constexpr int F = 0xA5; // the fill byte: gaps and data bytes without a number hold it

// The data field of n bytes of 0x33.
std::string threes(int n) {
    return std::string(static_cast<std::size_t>(2 * n), '3');
}

} // namespace

// Each row: a text loaded with the fill byte F, its load length, an address and the bytes
// expected from there on. The image ends at 364000 (0x58de0): a record may reach it.
TEST(HexReader, LoadsTheImageLeniently) {
    const std::vector<std::tuple<std::string, int32_t, int32_t, std::vector<int>>> cases{
        {"no records here\r\njust text\n", 0, 0, {F, F}},
        // The load length is the highest record's end, whatever the order of the records.
        {":0201000041427A\n:10000000" + threes(16) + "C0\n", 0x102, 0x100, {0x41, 0x42, F}},
        {":020000040001F9\n:0400100001020304E2\n", 65556, 65551, {F, 1, 2, 3, 4, F}},
        {":020000021000EC\n:020010000102EB\n", 65554, 65552, {1, 2, F}},
        {":04FFFE0001020304F5\n", 65538, 65534, {1, 2, 3, 4, F}}, // offsets don't wrap at 64 KiB
        {":020000040005F5\n:108DD000" + threes(16) + "63\n", 364000, 363998, {0x33, 0x33}},
        {":0100000009F6\n:00000001FF\n:020020000708CF\n", 0x22, 0x1F, {F, 7, 8}}, // after the end
        // Types 03 and 05 are skipped: taken as data or as an address they would show.
        {":0400000312345678E5\n:0400000500010000F6\n:0100080001F6\n", 9, 0, {F, F, F, F}},
        // Lower case, CR LF and LF, blank lines, text around records; checksums aren't checked.
        {"a:030ab000abcdef00\r\n\r\n b\t\n:010AB3000100\nc", 0xAB4, 0xAB0, {0xAB, 0xCD, 0xEF, 1}},
        // Fields are converted as "%x" converts them; one without a number keeps the value of the
        // record before (0 in the first), a data byte without one holds the fill byte.
        {":04000000G5zz 5-100\n", 4, 0, {F, F, 5, 0xFF, F}},
        {":020000020001FB\n:02000002zzzz00\n:0100000005FA\n", 257, 256, {5}},
        // Fields are taken by count: a short line takes the next line's characters.
        {":0200000012\n:0100030077\n:0100080009EE\n", 9, 0, {0x12, F, F, F}},
    };
    for (const auto& [text, loadLength, at, bytes] : cases) {
        q::fillImageBuffer(0x5A); // anything the reader doesn't overwrite shows
        const q::HexLoad load = q::readHexText(text, F);
        EXPECT_EQ(std::tie(load.status, load.loadLength),
                  std::make_tuple(q::HexLoadStatus::loaded, loadLength))
            << text;
        EXPECT_EQ(std::vector<int>(q::ImageBuffer.begin() + at,
                                   q::ImageBuffer.begin() + at + static_cast<int>(bytes.size())),
                  bytes)
            << text;
    }
}

// A record that would reach outside the image stops the reading before any of its bytes is
// stored (the sanitized build of this test catches any write outside).
TEST(HexReader, RefusesRecordsOutsideTheImage) {
    const std::string base5 = ":020000040005F5\n";
    const std::vector<std::pair<std::string, int64_t>> cases{
        {base5 + ":108DD100" + threes(16) + "62\n", 364000},
        {base5 + ":FF8D0000" + threes(255) + "A7\n", 364000},
        {":02000002FFFFFE\n:0100000001FE\n", 1048560},
        {":01-FFF0001\n", -4095},
        {":020000040001F9\n:02000004zzzz00\n:02000004zzzz00\n:02000004zzzz00\n:0100000001FE\n",
         int64_t{1} << 40}, // shifted far out, without overflowing back in
    };
    for (const auto& [text, address] : cases) {
        const q::HexLoad load = q::readHexText(":0100000042BD\n" + text, 0xFF);
        EXPECT_EQ(std::tie(load.status, load.outsideAddress),
                  std::make_tuple(q::HexLoadStatus::outsideImage, address))
            << text;
        EXPECT_EQ(q::ImageBuffer[0], 0x42);
        EXPECT_EQ(q::ImageBuffer[q::imageBufferBytes - 1], 0xFF);
    }
}
