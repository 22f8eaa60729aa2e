#include <gtest/gtest.h>

#include "commands/hex_value.h"

using quillon::readHexByte;
using quillon::readHexValue;

TEST(HexValue, ReadsLikePercentX) {
    EXPECT_EQ(readHexValue("e"), 0x0EU);
    EXPECT_EQ(readHexValue("1AB"), 0x1ABU);
    EXPECT_EQ(readHexValue("0xe1"), 0xE1U);
    EXPECT_EQ(readHexValue("0X99"), 0x99U);
    EXPECT_EQ(readHexValue("  \t3f"), 0x3FU);
    EXPECT_EQ(readHexValue("3fz9"), 0x3FU) << "digits end at the first other character";
    EXPECT_EQ(readHexValue("+ff"), 0xFFU);
    EXPECT_EQ(readHexValue("-1"), 0xFFFFFFFFU);
    EXPECT_EQ(readHexValue("0x"), 0U) << "the 0 of a bare prefix is the number";
    EXPECT_EQ(readHexValue("0xg"), 0U);
}

TEST(HexValue, NoDigitNoNumber) {
    EXPECT_EQ(readHexValue(""), std::nullopt);
    EXPECT_EQ(readHexValue("zz"), std::nullopt);
    EXPECT_EQ(readHexValue("x1"), std::nullopt);
    EXPECT_EQ(readHexValue("-"), std::nullopt);
    EXPECT_EQ(readHexValue("  "), std::nullopt);
    EXPECT_EQ(readHexValue(",ff"), std::nullopt);
}

TEST(HexValue, ByteKeepsTheLowEightBitsOfAnyLength) {
    EXPECT_EQ(readHexByte("1e1"), 0xE1);
    EXPECT_EQ(readHexByte("1AB"), 0xAB);
    EXPECT_EQ(readHexByte("123456789abcdef0123bc"), 0xBC) << "no overflow trouble";
    EXPECT_EQ(readHexByte("-1"), 0xFF);
    EXPECT_EQ(readHexByte("q"), std::nullopt);
}
