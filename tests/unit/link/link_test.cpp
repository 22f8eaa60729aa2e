#include <gtest/gtest.h>

#include "fake_port.h"
#include "link/link.h"

using quillon::testing::FakePort;
using quillon::testing::PortCall;
using Kind = quillon::testing::PortCall::Kind;
namespace q = quillon;

namespace {

struct LinkTest : ::testing::Test {
    void SetUp() override { q::DelayUnits = 1; }
};

PortCall set(uint8_t bit, uint8_t data) {
    return {Kind::Set, q::dataPort, bit, 0, data};
}
PortCall clear(uint8_t bit, uint8_t data) {
    return {Kind::Clear, q::dataPort, bit, 0, data};
}
PortCall get(uint8_t bit, int16_t result, uint8_t data) {
    return {Kind::Get, q::statusPort, bit, result, data};
}

} // namespace

TEST_F(LinkTest, AdapterTestPassesOnAWiredAdapterAndLeavesLoopBackLinesLow) {
    FakePort port(/*wired=*/true);
    EXPECT_EQ(q::adapterPresent(), 1);
    const std::vector<PortCall> expected{set(0, 0x01),    get(5, -1, 0x01), clear(0, 0x00),
                                         get(5, 0, 0x00), set(1, 0x02),     get(7, 0, 0x02),
                                         clear(1, 0x00),  get(7, -1, 0x00)};
    EXPECT_EQ(port.calls, expected);
}

TEST_F(LinkTest, AdapterTestFailsUnwiredButStillRunsAllFourSteps) {
    FakePort port(/*wired=*/false);
    EXPECT_EQ(q::adapterPresent(), 0);
    EXPECT_EQ(port.calls.size(), 8U);
    EXPECT_FALSE(port.line(0));
    EXPECT_FALSE(port.line(1));
}

TEST_F(LinkTest, AdapterTestDemandsMinusOneForASetBit) {
    FakePort port(/*wired=*/true);
    port.oneAnswer = 1; // a library that answers 1 instead of all ones
    EXPECT_EQ(q::adapterPresent(), 0);
    EXPECT_EQ(port.calls.size(), 8U);
}

TEST_F(LinkTest, AdapterTestWithoutALibraryTouchesNothing) {
    q::PortLibrary = q::PortLibraryEntries{};
    EXPECT_EQ(q::adapterPresent(), 0);
    q::setLine(4, 1); // and the line operations are harmless
    EXPECT_EQ(q::transferByte(0xFF), 0);
}

TEST_F(LinkTest, SetLineDrivesOnlyBitsFourToSevenAndOnlyLevelOneHigh) {
    FakePort port;
    q::setLine(5, 1);
    q::setLine(6, 2); // any level but 1 is low
    q::setLine(3, 1); // outside 4..7: nothing
    q::setLine(8, 1);
    const std::vector<std::pair<uint8_t, bool>> expected{{5, true}, {6, false}};
    EXPECT_EQ(port.lineChanges(), expected);
}

TEST_F(LinkTest, EnterProgrammingModeDrivesTheLinesInOrder) {
    FakePort port;
    q::targetReleased = 1;
    q::enterProgrammingMode();
    const std::vector<std::pair<uint8_t, bool>> expected{
        {7, true},  {5, true},  {4, false}, {3, false}, {2, false}, // idle, drivers on
        {6, false}, {7, false},                                     // into reset
        {7, true},  {6, true},  {7, false}, {6, false}};            // the reset pulse
    EXPECT_EQ(port.lineChanges(), expected);
    EXPECT_EQ(q::targetReleased, 0);
}

TEST_F(LinkTest, ReleaseTargetRaisesResetThenDisablesDrivers) {
    FakePort port;
    q::targetReleased = 0;
    q::releaseTarget();
    const std::vector<std::pair<uint8_t, bool>> expected{
        {7, true}, {6, true}, {3, true}, {2, true}};
    EXPECT_EQ(port.lineChanges(), expected);
    EXPECT_EQ(q::targetReleased, 1);
}

TEST_F(LinkTest, SendByteShiftsMostSignificantBitFirstOnRisingEdges) {
    FakePort port;
    q::sendByte(0xAC);
    std::vector<bool> mosiAtRisingEdges;
    bool sck = false;
    for (const PortCall& call : port.calls) {
        const bool nowSck = ((call.data >> q::sckLine) & 1) != 0;
        if (nowSck && !sck) {
            mosiAtRisingEdges.push_back(((call.data >> q::mosiLine) & 1) != 0);
        }
        sck = nowSck;
    }
    EXPECT_EQ(mosiAtRisingEdges,
              (std::vector<bool>{true, false, true, false, true, true, false, false}));
    EXPECT_FALSE(port.line(q::sckLine));
    EXPECT_EQ(port.sentBytes(), std::vector<uint8_t>{0xAC});
}

TEST_F(LinkTest, TransferByteSamplesMisoWhileSckIsHigh) {
    FakePort port;
    port.misoBits = {true, false, false, false, false, false, false, true};
    EXPECT_EQ(q::transferByte(0x00), 0x81);
    for (const PortCall& call : port.calls) {
        if (call.kind == Kind::Get) {
            EXPECT_TRUE(((call.data >> q::sckLine) & 1) != 0) << "MISO read with SCK low";
        }
    }
    EXPECT_FALSE(port.line(q::sckLine));
}

TEST_F(LinkTest, TransferByteCountsAnyNonzeroAnswerAsOne) {
    FakePort port;
    port.oneAnswer = 1;
    port.queueMisoByte(0x5A);
    EXPECT_EQ(q::transferByte(0x00), 0x5A);
}

TEST(Calibration, ArithmeticTruncatesTwiceWithTheMargin) {
    EXPECT_EQ(q::delayUnitsFor(300, q::calibrationPasses), 361);
    EXPECT_EQ(q::delayUnitsFor(700, q::calibrationPasses), 155);
    EXPECT_EQ(q::delayUnitsFor(1200, 4LL * q::calibrationPasses), 361); // a longer run, same rate
    EXPECT_GE(q::delayUnitsFor(100000000, q::calibrationPasses), 1);    // never zero
}

TEST(Calibration, DelayIsLongEnoughAndZeroReturnsAtOnce) {
    q::calibrateDelay();
    EXPECT_GT(q::DelayUnits, 0);
    const auto t0 = std::chrono::steady_clock::now();
    q::delayMicros(0);
    q::delayMicros(-5);
    const auto t1 = std::chrono::steady_clock::now();
    q::delayMicros(20000);
    const auto t2 = std::chrono::steady_clock::now();
    EXPECT_LT(t1 - t0, std::chrono::milliseconds(100)); // a negative count would take seconds
    // Calibration builds in a 1.36 margin; allow for a machine that got faster meanwhile.
    EXPECT_GE(t2 - t1, std::chrono::milliseconds(15));
}

TEST(Calibration, AWaitIsNeverShorterThanAskedEvenWithAFarTooSmallCount) {
    const int32_t calibrated = q::DelayUnits;
    q::DelayUnits = 1; // as if the calibration had shared the processor with a busy program
    const auto start = std::chrono::steady_clock::now();
    q::delayMicros(20000);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    q::DelayUnits = calibrated;
    EXPECT_GE(elapsed, std::chrono::microseconds(20000));
}
