// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "image/hex_value.h"

using quillon::readHexByte;

TEST(HexValue, ReadsLikePercentXAndKeepsTheLowEightBits) {
    const std::vector<std::pair<const char*, std::optional<uint8_t>>> cases{
        {"e", 0x0E},           {"1AB", 0xAB},        {"0xe1", 0xE1},
        {"0X99", 0x99},        {" \t3f", 0x3F},      {"3fz9", 0x3F},
        {"+ff", 0xFF},         {"-1", 0xFF},         {"0x", std::nullopt},
        {"0xg", std::nullopt}, {"1e1", 0xE1},        {"123456789abcdef0123bc", 0xBC},
        {"", std::nullopt},    {"zz", std::nullopt}, {"x1", std::nullopt},
        {"-", std::nullopt},   {",ff", std::nullopt}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(readHexByte(text), value) << '"' << text << '"';
    }
}
