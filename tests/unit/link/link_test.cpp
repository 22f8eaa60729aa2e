// SPDX-License-Identifier: MIT
// The adapter's lines, byte transfer and the calibrated delay against the recording fake port.
#include <gtest/gtest.h>

#include "commands/state.h"
#include "fake_port.h"
#include "instruction_log.h"
#include "link/link.h"

using quillon::testing::FakePort;
using quillon::testing::PortCall;
namespace q = quillon;

namespace {

// The port calls as text: "s7" sets data bit 7, "c4" clears it, "g5=-1" reads status bit 5
// as -1; a "!" marks a call to the other port.
std::string trace(const FakePort& port) {
    std::string text;
    for (const PortCall& call : port.calls) {
        const bool get = call.kind == PortCall::Kind::Get;
        text += "scg"[static_cast<int>(call.kind)] + std::to_string(call.bit) +
                (get ? "=" + std::to_string(call.result) : "") +
                (call.port == (get ? q::statusPort : q::dataPort) ? " " : "! ");
    }
    return text;
}

struct LinkTest : ::testing::Test {
    void SetUp() override {
        q::resetProcessState();
        q::DelayUnits = 1; // short counts, topped up by the clock
    }
};

} // namespace

TEST_F(LinkTest, AdapterTestRunsAllFourStepsAndDemandsExactlyMinusOneAndZero) {
    for (const auto& [wired, one, present] :
         {std::tuple{true, -1, 1}, {false, -1, 0}, {true, 1, 0}}) { // a library answering 1 fails
        FakePort port(wired);
        port.oneAnswer = static_cast<int16_t>(one);
        EXPECT_EQ(q::adapterPresent(), present);
        const std::string on = std::to_string(wired ? one : 0);
        std::string expected = "s0 g5=" + on;
        expected.append(" c0 g5=0 s1 g7=0 c1 g7=").append(on).append(" ");
        EXPECT_EQ(trace(port), expected);
        EXPECT_EQ(port.data, 0); // loop-back lines left low
    }
}

TEST_F(LinkTest, LineSequencesOfSetLineProgrammingModeAndRelease) {
    FakePort port;
    q::setLine(5, 1);
    q::setLine(6, 2); // any level but 1 is low
    q::setLine(3, 1); // outside 4..7: nothing
    q::setLine(8, 1);
    q::targetReleased = 1;
    q::enterProgrammingMode(); // idle lines, drivers on, into reset, then the reset pulse
    EXPECT_EQ(trace(port), "s5 c6 s7 s5 c4 c3 c2 c6 c7 s7 s6 c7 c6 ");
    EXPECT_EQ(q::targetReleased, 0);
    port.calls.clear();
    q::releaseTarget();
    EXPECT_EQ(trace(port), "s7 s6 s3 s2 ");
    EXPECT_EQ(q::targetReleased, 1);
}

TEST_F(LinkTest, BytesGoOutMsbFirstOnRisingEdgesAndMisoIsSampledWhileSckIsHigh) {
    FakePort port;
    port.misoBits = {true, false, false, false, false, false, false, true};
    EXPECT_EQ(q::transferByte(0x35), 0x81);
    q::sendByte(0xAC);
    // MOSI at the rising edges of SCK, as hex digits (half of a four-byte instruction).
    EXPECT_EQ(quillon::testing::instructionLog(port), std::vector<std::string>{"partial 35ac"});
    EXPECT_FALSE(port.line(q::sckLine));
    for (const PortCall& call : port.calls) {
        EXPECT_TRUE(call.kind != PortCall::Kind::Get || ((call.data >> q::sckLine) & 1) != 0)
            << "MISO read with SCK low";
    }
    port.oneAnswer = 1; // any nonzero answer reads as 1
    port.queueMisoByte(0x5A);
    EXPECT_EQ(q::transferByte(0x00), 0x5A);
}

TEST(Delay, CalibrationArithmeticAndNoWaitShorterThanAsked) {
    EXPECT_EQ(q::delayUnitsFor(300, q::calibrationPasses), 361);
    EXPECT_EQ(q::delayUnitsFor(700, q::calibrationPasses), 155);
    EXPECT_EQ(q::delayUnitsFor(1200, 4LL * q::calibrationPasses), 361); // a longer run, same rate
    EXPECT_GE(q::delayUnitsFor(100000000, q::calibrationPasses), 1);    // never zero
    const int32_t calibrated = q::DelayUnits;
    q::DelayUnits = 1; // as if the calibration had shared the processor with a busy program
    const auto start = std::chrono::steady_clock::now();
    q::delayMicros(20000);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    q::DelayUnits = calibrated;
    EXPECT_GE(elapsed, std::chrono::microseconds(20000));
}
