// SPDX-License-Identifier: MIT
// The faults that hardening tests inject: MISO stuck low, a part that hangs, a lost page write,
// and a power loss.
#include <gtest/gtest.h>

#include "test_programmer.h"

using namespace quillon::sim;
using namespace quillon::sim::testing;

namespace {

Config withFaults(const std::string& list) {
    Problems problems;
    Config config;
    config.faults = parseFaults(list, problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    return config;
}

// Writes `value` into the first byte of the page at byte address `at` of an ATmega16.
void writeByte(TestProgrammer& programmer, uint32_t at, uint8_t value) {
    programmer.writeFlashPage(at, {value}, 128);
    ASSERT_GE(programmer.waitReady().count(), 0);
}

} // namespace

TEST(SimFaultList, CountedFaultsNeedACountFromOne) {
    Problems problems;
    const Faults faults =
        parseFaults("miso-low,mute-after=40,drop-page=0x2,power-loss=7", problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_TRUE(faults.misoLow);
    EXPECT_EQ(faults.muteAfter, 40U);
    EXPECT_EQ(faults.dropPage, 2U);
    EXPECT_EQ(faults.powerLoss, 7U);

    const Faults bad = parseFaults("mute-after=,drop-page=0,power-loss=x", problems);
    ASSERT_EQ(problems.size(), 3U); // one line each, not also "unknown fault"
    EXPECT_NE(problems[1].find("'drop-page=0' needs a count from 1 on"), std::string::npos);
    EXPECT_EQ(bad.muteAfter + bad.dropPage + bad.powerLoss, 0U);
}

TEST(SimInjectedFaults, MisoStuckLowReadsZeroWhateverThePartSays) {
    VirtualClock clock;
    Board board(withFaults("miso-low"), clock);
    TestProgrammer programmer(board, clock);
    EXPECT_FALSE(programmer.connect());
    EXPECT_TRUE(board.programmingEnabled()); // the part itself is fine
    EXPECT_EQ(programmer.read(0x30, 0x00, 0x00), 0x00);
}

TEST(SimInjectedFaults, APartThatHangsActsOnNothingAndAnswersNothingEvenAfterAReset) {
    VirtualClock clock;
    Board board(withFaults("mute-after=5"), clock);
    TestProgrammer programmer(board, clock);
    ASSERT_TRUE(programmer.connect());                  // 1
    EXPECT_EQ(programmer.read(0x30, 0x00, 0x01), 0x94); // 2
    programmer.writeFlashPage(0, {0x12}, 128);          // 3 to 5: loads and the page write
    EXPECT_EQ(board.chip().flash[0], 0x12);
    programmer.instruction(0xAC, 0x80, 0x00, 0x00); // Chip Erase, ignored
    EXPECT_EQ(board.chip().flash[0], 0x12);
    EXPECT_EQ(programmer.read(0x30, 0x00, 0x01), 0xFF); // MISO undriven
    programmer.release();
    EXPECT_FALSE(programmer.connect());
}

TEST(SimInjectedFaults, ADroppedPageWriteLeavesThatPageAsItWas) {
    VirtualClock clock;
    Board board(withFaults("drop-page=2"), clock);
    TestProgrammer programmer(board, clock);
    ASSERT_TRUE(programmer.connect());
    writeByte(programmer, 0, 0x01);
    writeByte(programmer, 128, 0x02);
    writeByte(programmer, 256, 0x03);
    EXPECT_EQ(board.chip().flash[0], 0x01);
    EXPECT_EQ(board.chip().flash[128], 0xFF);
    EXPECT_EQ(board.chip().flash[256], 0x03);
}

TEST(SimInjectedFaults, PowerLossLosesTheInstructionAndAllUntilTheNextResetPulse) {
    VirtualClock clock;
    Board board(withFaults("power-loss=4"), clock);
    TestProgrammer programmer(board, clock);
    ASSERT_TRUE(programmer.connect());        // 1
    programmer.instruction(0x40, 0, 0, 0x5A); // 2, 3: low and high byte of word 0
    programmer.instruction(0x48, 0, 0, 0xA5);
    programmer.instruction(0x4C, 0, 0, 0); // 4: the page write is lost
    EXPECT_EQ(board.chip().flash[0], 0xFF);
    EXPECT_EQ(programmer.read(0x30, 0x00, 0x01), 0xFF);
    EXPECT_FALSE(board.programmingEnabled());

    programmer.release();
    ASSERT_TRUE(programmer.connect()); // powered up again, with an empty page buffer
    programmer.instruction(0x4C, 0, 0, 0);
    ASSERT_GE(programmer.waitReady().count(), 0);
    EXPECT_EQ(board.chip().flash[0], 0xFF);
    EXPECT_EQ(programmer.read(0x30, 0x00, 0x01), 0x94);
}
