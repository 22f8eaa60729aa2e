#include <gtest/gtest.h>

#include "fake_port.h"
#include "image/image.h"
#include "instruction_log.h"
#include "memory_test_support.h"
#include "transfer/transfer.h"

namespace q = quillon;
using q::testing::FakePort;
using q::testing::Stdout;
using Log = std::vector<std::string>;

namespace {

struct ReadBackTest : ::testing::Test {
    void SetUp() override {
        q::testing::freshMemoryState();
        q::fillReadBackBuffer(0x55); // what the read-back must clear
    }
    FakePort port;
};

} // namespace

TEST_F(ReadBackTest, FlashReadsWholeWordsLowByteFirst) {
    for (uint8_t b : {0x10, 0x11, 0x20, 0x21}) {
        port.queueMisoByte(b);
    }
    Stdout out;
    q::readBackFlash(q::testing::atmega16, 3);
    EXPECT_EQ(out.text(), "Read 3 target flash bytes\n");
    EXPECT_EQ(q::testing::instructionLog(port),
              (Log{"4d000000", "20000000", "28000000", "20000100", "28000100"}));
    EXPECT_EQ(q::ReadBackBuffer[0], 0x10);
    EXPECT_EQ(q::ReadBackBuffer[1], 0x11);
    EXPECT_EQ(q::ReadBackBuffer[2], 0x20);
    EXPECT_EQ(q::ReadBackBuffer[3], 0x21); // the odd length's extra byte
    EXPECT_EQ(q::ReadBackBuffer[4], 0x00);
    EXPECT_EQ(q::ReadBackBuffer[363999], 0x00);
}

TEST_F(ReadBackTest, FlashOfLengthZeroOnlyLoadsTheExtendedAddress) {
    Stdout out;
    q::readBackFlash(q::testing::atmega16, 0);
    EXPECT_EQ(out.text(), "Read 0 target flash bytes\n");
    EXPECT_EQ(q::testing::instructionLog(port), Log{"4d000000"});
    EXPECT_EQ(q::ReadBackBuffer[0], 0x00);
}

TEST_F(ReadBackTest, EepromReadsAddressesInRisingOrder) {
    port.queueMisoByte(0xAB);
    Stdout out;
    q::readBackEeprom(q::testing::atmega16, 512);
    EXPECT_EQ(out.text(), "Read 512 target EEPROM bytes\n");
    const Log sent = q::testing::instructionLog(port);
    ASSERT_EQ(sent.size(), 512U);
    for (unsigned a : {0U, 1U, 0xFFU, 0x100U, 0x1FFU}) {
        char expected[9];
        std::snprintf(expected, sizeof expected, "a0%04x00", a);
        EXPECT_EQ(sent[a], expected);
    }
    EXPECT_EQ(q::ReadBackBuffer[0], 0xAB);
    EXPECT_EQ(q::ReadBackBuffer[1], 0x00);
    EXPECT_EQ(q::ReadBackBuffer[512], 0x00);
}
