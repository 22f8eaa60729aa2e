// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "image/hex_reader.h"
#include "image/hex_writer.h"
#include "image/image.h"
#include "memory_test_support.h"

namespace q = quillon;
using q::testing::readFile;

TEST(HexWriter, WritesTheWorkedExampleByteForByte) {
    q::resetProcessState();
    const q::testing::ScratchDir dir;
    const std::vector<uint8_t> bytes{0x0C, 0x94, 0x2A, 0x00, 0x0C, 0x94, 0x34, 0x00, 0x0C, 0x94,
                                     0x34, 0x00, 0x0C, 0x94, 0x34, 0x00, 0x11, 0x24, 0x1F, 0xBE};
    std::copy(bytes.begin(), bytes.end(), q::ReadBackBuffer.begin());
    const std::string path = dir.file("example.hex");
    EXPECT_EQ(q::writeHexFile(path, 20, q::AddressRecordType::linear), q::hexFileWritten);
    EXPECT_EQ(readFile(path), ":100000000c942a000c9434000c9434000c943400aa\n"
                              ":0400100011241fbeda\n"
                              ":00000001FF\n");
}

// Every length with both address record types: the address records follow the record at offset
// fff0 of each 64 KiB block (even a short one), and this program's reader and an independent
// one, Debian's srecord, read back the same bytes.
TEST(HexWriter, LengthsAcrossBlocksReadBackTheSame) {
    const bool srecord = std::system("srec_cmp --version >/dev/null 2>&1") == 0;
    const q::testing::ScratchDir dir;
    const std::string hex = dir.file("image.hex");
    const std::string bin = dir.file("image.bin");
    for (const auto& [length, blocks] : std::vector<std::pair<int32_t, int>>{
             {0, 0}, {5, 0}, {16, 0}, {65530, 1}, {65536, 1}, {65536 + 20, 1}, {131072, 2}}) {
        for (const q::AddressRecordType type :
             {q::AddressRecordType::linear, q::AddressRecordType::segment}) {
            SCOPED_TRACE(std::to_string(length) + " bytes, type " +
                         std::to_string(static_cast<int>(type)));
            q::resetProcessState();
            for (int32_t i = 0; i < length; ++i) { // neither erased nor repeating in a record
                q::ReadBackBuffer[static_cast<std::size_t>(i)] =
                    static_cast<uint8_t>(i * 7 + (i >> 8));
            }
            ASSERT_EQ(q::writeHexFile(hex, length, type), q::hexFileWritten);
            const std::string text = readFile(hex);

            const std::vector<std::string> addressRecords{
                type == q::AddressRecordType::linear ? ":020000040001f9\n" : ":020000021000ec\n",
                type == q::AddressRecordType::linear ? ":020000040002f8\n" : ":020000022000dc\n"};
            std::size_t at = 0;
            for (int block = 0; block < blocks; ++block) {
                at = text.find(addressRecords[static_cast<std::size_t>(block)], at);
                ASSERT_NE(at, std::string::npos) << text.substr(0, 200);
                EXPECT_EQ(text.substr(text.rfind(':', at - 1) + 3, 4), "fff0");
            }
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), (length + 15) / 16 + blocks + 1);
            EXPECT_TRUE(text.ends_with("\n:00000001FF\n") || text == ":00000001FF\n");

            const q::HexLoad load = q::readHexText(text, 0xFF);
            EXPECT_EQ(load.loadLength, length);
            EXPECT_TRUE(std::equal(q::ImageBuffer.begin(), q::ImageBuffer.begin() + length,
                                   q::ReadBackBuffer.begin()));
            EXPECT_EQ(q::ImageBuffer[static_cast<std::size_t>(length)], 0xFF);

            if (srecord && length > 0) { // srecord refuses a file without data
                std::ofstream(bin, std::ios::binary)
                    << std::string(q::ReadBackBuffer.begin(), q::ReadBackBuffer.begin() + length);
                std::string command = "srec_cmp '" + hex;
                command.append("' -Intel '").append(bin).append("' -Binary");
                EXPECT_EQ(std::system(command.c_str()), 0) << command;
            }
        }
    }
    if (!srecord) {
        GTEST_SKIP() << "srec_cmp not found: install Debian's srecord package for its check";
    }
}
