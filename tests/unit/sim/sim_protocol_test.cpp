// SPDX-License-Identifier: MIT
// Entering programming mode and the serial link: what the simulated part accepts, when it
// echoes, and which programmer mistakes it notices.
#include <gtest/gtest.h>

#include "test_programmer.h"

using namespace quillon::sim;
using namespace quillon::sim::testing;

namespace {

Config device(const std::string& name) {
    Config config;
    config.device = name;
    return config;
}

} // namespace

TEST(SimProtocol, ProgrammingEnableIsAcceptedOnlyTwentyMillisecondsAfterTheResetPulse) {
    VirtualClock clock;
    Board board(device("ATmega16"), clock);
    TestProgrammer programmer(board, clock);
    programmer.enterProgrammingMode(0ms);
    EXPECT_NE(programmer.programmingEnable(), 0x53); // too early: MISO not driven yet
    EXPECT_FALSE(board.programmingEnabled());
    programmer.wait(25ms);
    EXPECT_EQ(programmer.programmingEnable(), 0x53);
    EXPECT_TRUE(board.programmingEnabled());
}

TEST(SimProtocol, NothingButProgrammingEnableIsActedOnBeforeIt) {
    VirtualClock clock;
    Board board(device("ATmega16"), clock);
    TestProgrammer programmer(board, clock);
    programmer.enterProgrammingMode();
    // Before it, the part answers nothing: MISO stays low through a Read Signature.
    EXPECT_EQ(programmer.instruction(0x30, 0x00, 0x01, 0x00), (std::array<uint8_t, 4>{}));
    EXPECT_EQ(programmer.programmingEnable(), 0x53);
    EXPECT_EQ(programmer.read(0x30, 0x00, 0x01), 0x94);
}

TEST(SimProtocol, AnExtraClockPutsThePartOutOfStepUntilTheNextResetPulse) {
    VirtualClock clock;
    Board board(device("ATmega16"), clock);
    TestProgrammer programmer(board, clock);
    programmer.enterProgrammingMode();
    programmer.clockPulse();
    EXPECT_NE(programmer.programmingEnable(), 0x53);
    EXPECT_NE(programmer.programmingEnable(), 0x53);
    EXPECT_FALSE(board.programmingEnabled());
    EXPECT_TRUE(programmer.connect());
}

TEST(SimProtocol, AResetWithSckHighLeavesThePartOutOfStep) {
    VirtualClock clock;
    Board board(device("ATmega16"), clock);
    TestProgrammer programmer(board, clock);
    programmer.enterProgrammingMode();
    programmer.line(6, true);
    programmer.line(7, true);
    programmer.wait(20us);
    programmer.line(4, true); // SCK high while RESET falls
    programmer.line(6, false);
    programmer.line(4, false);
    programmer.wait(25ms);
    EXPECT_NE(programmer.programmingEnable(), 0x53);
    EXPECT_FALSE(board.programmingEnabled());
}

TEST(SimProtocol, AGlitchOnResetIsTooShortToResetThePart) {
    VirtualClock clock;
    Board board(device("ATmega16"), clock);
    TestProgrammer programmer(board, clock);
    ASSERT_TRUE(programmer.connect());
    // A few port calls take far less than two clock cycles; try a few times in case the test
    // was descheduled in the middle of one.
    bool survived = false;
    for (int attempt = 0; attempt < 5 && !survived; ++attempt) {
        programmer.line(6, true);
        programmer.line(7, true);
        programmer.line(6, false);
        survived = board.programmingEnabled();
    }
    EXPECT_TRUE(survived);
    programmer.release();
    EXPECT_FALSE(board.programmingEnabled() && board.chip().lock != 0xFF);
}

TEST(SimProtocol, ThePartNoticesBitOrderAndClockEdgeMistakes) {
    for (const DriverFaults faults :
         {DriverFaults{true, false, false}, DriverFaults{false, true, false}}) {
        VirtualClock clock;
        Board board(device("ATmega16"), clock);
        TestProgrammer programmer(board, clock);
        programmer.faults = faults;
        programmer.enterProgrammingMode();
        (void)programmer.programmingEnable();
        EXPECT_FALSE(board.programmingEnabled());
        EXPECT_NE(programmer.read(0x30, 0x00, 0x00), 0x1E);
    }
    // Sampling after the falling edge sees the next bit: the command gets through, the answer
    // comes back shifted.
    VirtualClock clock;
    Board board(device("ATmega16"), clock);
    TestProgrammer programmer(board, clock);
    programmer.faults.sampleAfterFall = true;
    programmer.enterProgrammingMode();
    (void)programmer.programmingEnable();
    EXPECT_TRUE(board.programmingEnabled());
    EXPECT_NE(programmer.read(0x30, 0x00, 0x00), 0x1E);
}

TEST(SimProtocol, WithoutATargetNothingAnswers) {
    Config config;
    config.faults.noTarget = true;
    VirtualClock clock;
    Board board(config, clock);
    TestProgrammer programmer(board, clock);
    programmer.enterProgrammingMode();
    EXPECT_EQ(programmer.programmingEnable(), 0xFF);
    EXPECT_EQ(programmer.read(0x30, 0x00, 0x00), 0xFF);
    EXPECT_FALSE(board.programmingEnabled());
}

TEST(SimProtocol, EveryPartAnswersWithItsSignature) {
    const std::map<std::string, std::array<uint8_t, 3>> signatures{
        {"ATmega16", {0x1E, 0x94, 0x03}},  {"ATmega32", {0x1E, 0x95, 0x02}},
        {"ATmega48", {0x1E, 0x92, 0x05}},  {"ATmega88", {0x1E, 0x93, 0x0A}},
        {"ATmega168", {0x1E, 0x94, 0x06}}, {"ATmega644", {0x1E, 0x96, 0x09}},
        {"ATmega128", {0x1E, 0x97, 0x02}}, {"atmega88", {0x1E, 0x93, 0x0A}},
        {"1e9407", {0x1E, 0x94, 0x07}},    {"1E9502", {0x1E, 0x95, 0x02}}};
    for (const auto& [name, signature] : signatures) {
        VirtualClock clock;
        Board board(device(name), clock);
        EXPECT_TRUE(board.problems().empty()) << name;
        TestProgrammer programmer(board, clock);
        ASSERT_TRUE(programmer.connect()) << name;
        for (uint8_t i = 0; i < 3; ++i) {
            EXPECT_EQ(programmer.read(0x30, 0x00, i), signature[i]) << name << " byte " << +i;
        }
    }
}

TEST(SimProtocol, AnUnknownDeviceNameFallsBackToAnATmega16) {
    for (const std::string name : {"ATmega99", "1e94", "1e94zz", ""}) {
        VirtualClock clock;
        Board board(device(name), clock);
        ASSERT_EQ(board.problems().size(), 1U) << name;
        EXPECT_NE(board.problems()[0].find("simulating an ATmega16"), std::string::npos);
        EXPECT_EQ(board.part().name, "ATmega16");
    }
}

TEST(SimProtocol, TheTraceRecordsResetsAndInstructions) {
    Config config;
    config.keepTrace = true;
    VirtualClock clock;
    Board board(config, clock);
    TestProgrammer programmer(board, clock);
    ASSERT_TRUE(programmer.connect());
    (void)programmer.read(0x30, 0x00, 0x02);
    const auto& lines = board.traceLines();
    ASSERT_EQ(lines.size(), 4U);
    const std::vector<std::string> events{"reset 1", "reset 0", "ac530000", "30000200"};
    long long previous = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto space = lines[i].find(' ');
        const long long micros = std::stoll(lines[i].substr(0, space));
        EXPECT_GE(micros, previous);
        previous = micros;
        EXPECT_EQ(lines[i].substr(space + 1), events[i]);
    }
}
