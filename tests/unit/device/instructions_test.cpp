#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "scripted_target.h"

namespace q = quillon;
using q::testing::Instruction;
using q::testing::ScriptedTarget;

namespace {

struct Sent {
    const char* name;
    std::function<void()> issue;
    Instruction bytes;
};

} // namespace

TEST(Instructions, NonAnsweringInstructionsSendTheirFourBytesAndReadNothing) {
    const std::vector<Sent> cases{
        {"chipErase", [] { q::chipErase(); }, {0xAC, 0x80, 0x00, 0x00}},
        {"loadExtendedAddress", [] { q::loadExtendedAddress(0x01); }, {0x4D, 0x00, 0x01, 0x00}},
        {"loadPageLow", [] { q::loadPageLow(0x3F, 0xA5); }, {0x40, 0x00, 0x3F, 0xA5}},
        {"loadPageHigh", [] { q::loadPageHigh(0x3F, 0x5A); }, {0x48, 0x00, 0x3F, 0x5A}},
        {"writeFlashPage", [] { q::writeFlashPage(0x1FC0); }, {0x4C, 0x1F, 0xC0, 0x00}},
        {"writeEepromByte", [] { q::writeEepromByte(0x01FF, 0x42); }, {0xC0, 0x01, 0xFF, 0x42}},
        {"loadEepromPage", [] { q::loadEepromPage(0x03, 0x99); }, {0xC1, 0x00, 0x03, 0x99}},
        {"writeEepromPage", [] { q::writeEepromPage(0x0104); }, {0xC2, 0x01, 0x04, 0x00}},
        {"writeLockBits", [] { q::writeLockBits(0x3C); }, {0xAC, 0xE0, 0x00, 0x3C}},
        {"writeFuseLow", [] { q::writeFuseLow(0xE1); }, {0xAC, 0xA0, 0x00, 0xE1}},
        {"writeFuseHigh", [] { q::writeFuseHigh(0x99); }, {0xAC, 0xA8, 0x00, 0x99}},
        {"writeFuseExtended", [] { q::writeFuseExtended(0xFD); }, {0xAC, 0xA4, 0x00, 0xFD}},
    };
    for (const Sent& c : cases) {
        ScriptedTarget target;
        c.issue();
        EXPECT_EQ(target.instructions(), std::vector<Instruction>{c.bytes}) << c.name;
        EXPECT_EQ(target.misoReads(), 0U) << c.name;
    }
}

TEST(Instructions, ReadingInstructionsReturnTheAnswerToByteFour) {
    struct Read {
        const char* name;
        std::function<uint8_t()> issue;
        Instruction bytes;
    };
    const std::vector<Read> cases{
        {"readFlashLow", [] { return q::readFlashLow(0x1234); }, {0x20, 0x12, 0x34, 0x00}},
        {"readFlashHigh", [] { return q::readFlashHigh(0xFFFF); }, {0x28, 0xFF, 0xFF, 0x00}},
        {"readEepromByte", [] { return q::readEepromByte(0x0FFF); }, {0xA0, 0x0F, 0xFF, 0x00}},
        {"readLockBits", [] { return q::readLockBits(); }, {0x58, 0x00, 0x00, 0x00}},
        {"readCalibration", [] { return q::readCalibration(); }, {0x38, 0x00, 0x00, 0x00}},
        {"pollReady", [] { return q::pollReady(); }, {0xF0, 0x00, 0x00, 0x00}},
    };
    for (const Read& c : cases) {
        ScriptedTarget target;
        target.answer({0xA7});
        EXPECT_EQ(c.issue(), 0xA7) << c.name;
        EXPECT_EQ(target.instructions(), std::vector<Instruction>{c.bytes}) << c.name;
        EXPECT_EQ(target.misoReads(), 8U) << c.name << ": only byte 4 is read";
    }
}

TEST(Instructions, ProgrammingEnableReturnsByteThreesEchoAndStillSendsByteFour) {
    ScriptedTarget target;
    target.answer({0x53, 0x99}); // 0x99 would be the answer to byte 4, which is not read
    EXPECT_EQ(q::programmingEnable(), 0x53);
    EXPECT_EQ(target.instructions(), (std::vector<Instruction>{{0xAC, 0x53, 0x00, 0x00}}));
    EXPECT_EQ(target.misoReads(), 8U);
}

TEST(Instructions, ReadSignatureAsksForBytesZeroOneTwoInOrder) {
    ScriptedTarget target;
    target.answer({0x1E, 0x94, 0x06});
    q::readSignature();
    EXPECT_EQ(q::targetSignature, (std::array<uint8_t, 3>{0x1E, 0x94, 0x06}));
    EXPECT_EQ(target.instructions(),
              (std::vector<Instruction>{
                  {0x30, 0x00, 0x00, 0x00}, {0x30, 0x00, 0x01, 0x00}, {0x30, 0x00, 0x02, 0x00}}));
}

TEST(Instructions, ReadFusesPutsExtendedHighLowIntoCellsOneTwoThree) {
    ScriptedTarget target;
    target.answer({0xE1, 0x99, 0xFD}); // answers to low, high, extended in that order
    q::readFuses();
    EXPECT_EQ(q::FuseTriple, (std::array<uint8_t, 3>{0xFD, 0x99, 0xE1}));
    EXPECT_EQ(target.instructions(),
              (std::vector<Instruction>{
                  {0x50, 0x00, 0x00, 0x00}, {0x58, 0x08, 0x00, 0x00}, {0x50, 0x08, 0x00, 0x00}}));
}

TEST(Instructions, WaitReadyGivesUpAfter5002BusyPolls) {
    ScriptedTarget target;
    target.port.misoDefault = true; // every answer 0xFF: busy
    EXPECT_EQ(q::waitReady(), -1);
    const std::vector<Instruction> sent = target.instructions();
    EXPECT_EQ(sent.size(), 5002U);
    for (const Instruction& poll : sent) {
        ASSERT_EQ(poll, (Instruction{0xF0, 0x00, 0x00, 0x00}));
    }
}

TEST(Instructions, WaitReadyStopsAtTheFirstReadyAnswer) {
    ScriptedTarget target;
    target.answer({0x01, 0xFF, 0xFE}); // busy, busy, ready (only bit 0 counts)
    EXPECT_EQ(q::waitReady(), 0);
    EXPECT_EQ(target.instructions().size(), 3U);
}

TEST(Instructions, WaitReadyAgainstAReadyTargetPollsOnceWithoutWaiting) {
    ScriptedTarget target;
    q::DelayUnits = 2000000; // one 100-microsecond wait would now take 200 million passes
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(q::waitReady(), 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    q::DelayUnits = 1;
    EXPECT_EQ(target.instructions().size(), 1U);
    EXPECT_LT(elapsed, std::chrono::milliseconds(20));
}
