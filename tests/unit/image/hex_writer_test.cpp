// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "commands/state.h"
#include "image/hex_writer.h"
#include "image/image.h"

namespace q = quillon;

// Each row: a length written from a read-back buffer that holds 0 but for 01 at 0, aa at ffff,
// bb at 10000, cc at 1ffff and dd at 20000; the file's line count and its last lines. The
// address record follows the record at offset fff0 of each 64 KiB block, even the last one.
TEST(HexWriter, WritesAnAddressRecordAfterEvery64KiB) {
    const std::string fff0 = ":10fff000" + std::string(30, '0');
    const std::vector<std::tuple<int32_t, q::AddressRecordType, long, std::string>> cases{
        {20, q::AddressRecordType::linear, 3,
         ":1000000001000000000000000000000000000000ef\n:0400100000000000ec\n:00000001FF\n"},
        {0x10000, q::AddressRecordType::linear, 4098,
         fff0 + "aa57\n:020000040001f9\n:00000001FF\n"},
        {0x10001, q::AddressRecordType::segment, 4099,
         fff0 + "aa57\n:020000021000ec\n:01000000bb44\n:00000001FF\n"},
        {0x20001, q::AddressRecordType::linear, 8196,
         fff0 + "cc35\n:020000040002f8\n:01000000dd22\n:00000001FF\n"},
        {0x20001, q::AddressRecordType::segment, 8196,
         fff0 + "cc35\n:020000022000dc\n:01000000dd22\n:00000001FF\n"}};
    q::Process.buffers.readBack.fill(0);
    q::Process.buffers.readBack[0] = 0x01;
    q::Process.buffers.readBack[0xFFFF] = 0xAA;
    q::Process.buffers.readBack[0x10000] = 0xBB;
    q::Process.buffers.readBack[0x1FFFF] = 0xCC;
    q::Process.buffers.readBack[0x20000] = 0xDD;
    const std::string path = ::testing::TempDir() + "quillon-" + std::to_string(getpid()) + ".hex";
    for (const auto& [length, type, lines, tail] : cases) {
        EXPECT_EQ(q::writeHexFile(path, q::Process.buffers.readBack, length, type),
                  q::hexFileWritten);
        std::ifstream file(path);
        const std::string text{std::istreambuf_iterator<char>(file), {}};
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), lines) << length;
        EXPECT_TRUE(text.ends_with(tail)) << length;
    }
    std::remove(path.c_str());
}
