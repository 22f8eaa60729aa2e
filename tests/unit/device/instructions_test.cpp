#include <gtest/gtest.h>

#include <functional>

#include "instruction_log.h"
#include "scripted_target.h"
#include "wait_recorder.h"

namespace q = quillon;
using q::testing::Instruction;
using q::testing::ScriptedTarget;

TEST(Instructions, WritingInstructionsSendFourBytesAndReadNothing) {
    const std::vector<std::pair<std::function<void()>, Instruction>> cases{
        {[] { q::chipErase(); }, {0xAC, 0x80, 0x00, 0x00}},
        {[] { q::loadExtendedAddress(0x01); }, {0x4D, 0x00, 0x01, 0x00}},
        {[] { q::loadPageLow(0x3F, 0xA5); }, {0x40, 0x00, 0x3F, 0xA5}},
        {[] { q::loadPageHigh(0x3F, 0x5A); }, {0x48, 0x00, 0x3F, 0x5A}},
        {[] { q::writeFlashPage(0x1FC0); }, {0x4C, 0x1F, 0xC0, 0x00}},
        {[] { q::writeEepromByte(0x01FF, 0x42); }, {0xC0, 0x01, 0xFF, 0x42}},
        {[] { q::loadEepromPage(0x03, 0x99); }, {0xC1, 0x00, 0x03, 0x99}},
        {[] { q::writeEepromPage(0x0104); }, {0xC2, 0x01, 0x04, 0x00}},
        {[] { q::writeLockBits(0x3C); }, {0xAC, 0xE0, 0x00, 0x3C}},
        {[] { q::writeFuseLow(0xE1); }, {0xAC, 0xA0, 0x00, 0xE1}},
        {[] { q::writeFuseHigh(0x99); }, {0xAC, 0xA8, 0x00, 0x99}},
        {[] { q::writeFuseExtended(0xFD); }, {0xAC, 0xA4, 0x00, 0xFD}},
    };
    for (const auto& [issue, bytes] : cases) {
        ScriptedTarget target;
        issue();
        EXPECT_EQ(target.instructions(), std::vector<Instruction>{bytes});
        EXPECT_EQ(target.misoReads(), 0U);
    }
}

TEST(Instructions, ReadingInstructionsReturnTheAnswerToByteFourOnly) {
    const std::vector<std::pair<std::function<uint8_t()>, Instruction>> cases{
        {[] { return q::readFlashLow(0x1234); }, {0x20, 0x12, 0x34, 0x00}},
        {[] { return q::readFlashHigh(0xFFFF); }, {0x28, 0xFF, 0xFF, 0x00}},
        {[] { return q::readEepromByte(0x0FFF); }, {0xA0, 0x0F, 0xFF, 0x00}},
        {[] { return q::readLockBits(); }, {0x58, 0x00, 0x00, 0x00}},
        {[] { return q::readCalibration(); }, {0x38, 0x00, 0x00, 0x00}},
        {[] { return q::pollReady(); }, {0xF0, 0x00, 0x00, 0x00}},
    };
    for (const auto& [issue, bytes] : cases) {
        ScriptedTarget target;
        target.answer({0xA7});
        EXPECT_EQ(issue(), 0xA7);
        EXPECT_EQ(target.instructions(), std::vector<Instruction>{bytes});
        EXPECT_EQ(target.misoReads(), 8U);
    }
}

TEST(Instructions, ProgrammingEnableReturnsByteThreesEchoAndStillSendsByteFour) {
    ScriptedTarget target;
    target.answer({0x53, 0x99}); // 0x99 would answer byte 4, which must not be read
    EXPECT_EQ(q::programmingEnable(), 0x53);
    EXPECT_EQ(target.instructions(), (std::vector<Instruction>{{0xAC, 0x53, 0x00, 0x00}}));
    EXPECT_EQ(target.misoReads(), 8U);
}

TEST(Instructions, SignatureAndFusesLandInTheirCells) {
    ScriptedTarget target;
    target.answer({0x1E, 0x94, 0x06, 0xE1, 0x99, 0xFD}); // signature; low, high, extended fuse
    q::readSignature();
    q::readFuses();
    EXPECT_EQ(q::targetSignature, (std::array<uint8_t, 3>{0x1E, 0x94, 0x06}));
    EXPECT_EQ(q::FuseTriple, (std::array<uint8_t, 3>{0xFD, 0x99, 0xE1}));
    EXPECT_EQ(target.instructions(), (std::vector<Instruction>{{0x30, 0x00, 0x00, 0x00},
                                                               {0x30, 0x00, 0x01, 0x00},
                                                               {0x30, 0x00, 0x02, 0x00},
                                                               {0x50, 0x00, 0x00, 0x00},
                                                               {0x58, 0x08, 0x00, 0x00},
                                                               {0x50, 0x08, 0x00, 0x00}}));
}

TEST(Instructions, WaitReadyGivesUpAfter5002BusyPollsAndWaitsAfterEach) {
    ScriptedTarget busy;
    busy.port.misoDefault = true; // every answer 0xFF
    q::testing::recordedWaits.clear();
    EXPECT_EQ(q::waitReady(), -1);
    const std::vector<Instruction> polls = busy.instructions();
    EXPECT_EQ(polls.size(), 5002U);
    EXPECT_EQ(std::count(polls.begin(), polls.end(), Instruction{0xF0, 0x00, 0x00, 0x00}), 5002);
    const std::vector<std::string> log =
        q::testing::instructionLog(busy.port, q::testing::recordedWaits);
    ASSERT_EQ(log.size(), 2U * 5002U);
    for (std::size_t i = 0; i < log.size(); i += 2) {
        ASSERT_EQ(log[i], "f0000000");
        ASSERT_EQ(log[i + 1], "wait 100");
    }
}

TEST(Instructions, WaitReadyStopsAtTheFirstReadyAnswer) {
    ScriptedTarget ready;
    q::testing::recordedWaits.clear();
    EXPECT_EQ(q::waitReady(), 0);
    EXPECT_EQ(q::testing::instructionLog(ready.port, q::testing::recordedWaits),
              std::vector<std::string>{"f0000000"}); // one poll and no wait

    ScriptedTarget later;
    later.answer({0x01, 0xFF, 0xFE}); // only bit 0 counts
    q::testing::recordedWaits.clear();
    EXPECT_EQ(q::waitReady(), 0);
    EXPECT_EQ(
        q::testing::instructionLog(later.port, q::testing::recordedWaits),
        (std::vector<std::string>{"f0000000", "wait 100", "f0000000", "wait 100", "f0000000"}));
}
