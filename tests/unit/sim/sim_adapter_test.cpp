// SPDX-License-Identifier: MIT
// The adapter's lines on the parallel port and the io entry points' port semantics.
#include <gtest/gtest.h>

#include "test_programmer.h"

using namespace quillon::sim;
using namespace quillon::sim::testing;

namespace {

Config tracing(Faults faults = {}) {
    Config config;
    config.keepTrace = true;
    config.faults = std::move(faults);
    return config;
}

std::vector<std::string> events(const Board& board) {
    std::vector<std::string> result;
    for (const std::string& line : board.traceLines()) {
        result.push_back(line.substr(line.find(' ') + 1));
    }
    return result;
}

} // namespace

TEST(SimAdapter, LoopBackWiresAnswerTheWayThePortShowsThem) {
    VirtualClock clock;
    Board board(Config{}, clock);
    EXPECT_EQ(board.isDriverInstalled(), 1);
    board.setPortBit(dataPort, 0);
    EXPECT_EQ(board.getPortBit(statusPort, 5), -1);
    board.clrPortBit(dataPort, 0);
    EXPECT_EQ(board.getPortBit(statusPort, 5), 0);
    board.setPortBit(dataPort, 1);
    EXPECT_EQ(board.getPortBit(statusPort, 7), 0); // the port inverts status bit 7
    board.clrPortBit(dataPort, 1);
    EXPECT_EQ(board.getPortBit(statusPort, 7), -1);
    // Unused inputs and an undriven MISO read 1.
    EXPECT_EQ(board.portIn(statusPort), 0xDF);
}

TEST(SimAdapter, WithoutTheAdapterEveryInputFloatsAndTheTargetSeesNothing) {
    Faults faults;
    faults.noAdapter = true;
    VirtualClock clock;
    Board board(tracing(faults), clock);
    board.setPortBit(dataPort, 0);
    EXPECT_EQ(board.portIn(statusPort), 0x7F);
    board.clrPortBit(dataPort, 0);
    EXPECT_EQ(board.getPortBit(statusPort, 5), -1); // fails the loop-back test
    EXPECT_EQ(board.getPortBit(statusPort, 7), 0);
    TestProgrammer programmer(board, clock);
    EXPECT_NE(programmer.programmingEnable(), 0x53);
    programmer.enterProgrammingMode();
    EXPECT_NE(programmer.programmingEnable(), 0x53);
    EXPECT_TRUE(board.traceLines().empty());
}

TEST(SimAdapter, ResetIsLowWhileEitherDrivenResetLineIsLow) {
    VirtualClock clock;
    Board board(tracing(), clock);
    // The latches start at 0: buffer on, both reset lines low, so RESET is low.
    board.setPortBit(dataPort, 6);
    EXPECT_TRUE(board.traceLines().empty());
    board.setPortBit(dataPort, 7);
    board.clrPortBit(dataPort, 6);
    board.setPortBit(dataPort, 6);
    board.setPortBit(dataPort, 2); // reset half of the buffer off: RESET pulled up
    board.clrPortBit(dataPort, 7);
    board.clrPortBit(dataPort, 6);
    board.setPortBit(dataPort, 3);
    board.clrPortBit(dataPort, 2); // driven again, low
    EXPECT_EQ(events(board),
              (std::vector<std::string>{"reset 1", "reset 0", "reset 1", "reset 0"}));
}

TEST(SimAdapter, SckDoesNotReachTheTargetWhileItsBufferIsOff) {
    VirtualClock clock;
    Board board(tracing(), clock);
    TestProgrammer programmer(board, clock);
    ASSERT_TRUE(programmer.connect());
    const std::size_t before = board.traceLines().size();
    programmer.line(3, true);
    for (int i = 0; i < 32; ++i) {
        programmer.clockPulse();
    }
    programmer.line(3, false);
    EXPECT_EQ(board.traceLines().size(), before);
    EXPECT_EQ(programmer.read(0x30, 0x00, 0x00), 0x1E); // still in step
}

TEST(SimAdapter, ByteWordAndShiftEntryPointsWorkOnTheLatches) {
    VirtualClock clock;
    Board board(Config{}, clock);
    board.portOut(dataPort, 0x0C); // buffer off
    EXPECT_EQ(board.portIn(dataPort), 0x0C);
    board.notPortBit(dataPort, 0);
    EXPECT_EQ(board.portIn(dataPort), 0x0D);
    EXPECT_EQ(board.rightPortShift(dataPort, 1), -1);
    EXPECT_EQ(board.portIn(dataPort), 0x86);
    EXPECT_EQ(board.leftPortShift(dataPort, 0), -1);
    EXPECT_EQ(board.portIn(dataPort), 0x0C);
    board.portWordOut(dataPort, 0xAB0E); // the high byte goes to the read-only status port
    EXPECT_EQ(board.portIn(dataPort), 0x0E);
    EXPECT_EQ(board.portWordIn(dataPort), 0x0E | board.portIn(statusPort) << 8);
    board.portDWordOut(dataPort - 1, 0x00000C00);
    EXPECT_EQ(board.portIn(dataPort), 0x0C);
    EXPECT_EQ(board.portDWordIn(dataPort) >> 16, 0xFFFFU); // nothing at 890, 891
    EXPECT_EQ(board.portIn(0x3BC), 0xFF);
    board.setPortBit(dataPort, 8); // no such bit
    EXPECT_EQ(board.portIn(dataPort), 0x0C);
    EXPECT_EQ(board.getPortBit(dataPort, 8), 0);
}
