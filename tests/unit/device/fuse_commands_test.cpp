#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "device/device_commands.h"
#include "scripted_target.h"

namespace q = quillon;
using q::testing::Instruction;
using q::testing::printed;
using q::testing::ScriptedTarget;

namespace {

const Instruction lowWrite(uint8_t v) {
    return {0xAC, 0xA0, 0x00, v};
}
const Instruction highWrite(uint8_t v) {
    return {0xAC, 0xA8, 0x00, v};
}
const Instruction extendedWrite(uint8_t v) {
    return {0xAC, 0xA4, 0x00, v};
}

// A held target whose low, high and extended fuses are E1, 99, FD.
struct FuseReads : ::testing::Test {
    ScriptedTarget target;
    void SetUp() override { target.answer({0xE1, 0x99, 0xFD}); }
};

} // namespace

TEST_F(FuseReads, FuseLineShowsExtendedHighLow) {
    EXPECT_EQ(printed([] { q::getFuseBytes("z"); }), "Fuse bytes: fd 99 e1\n");
}

TEST_F(FuseReads, FuseByteOneIsTheLowFuse) {
    EXPECT_EQ(printed([] { q::getFuseByte1(""); }), "Fuse byte 1: e1\n");
}

TEST_F(FuseReads, FuseByteTwoIsTheHighFuse) {
    EXPECT_EQ(printed([] { q::getFuseByte2(""); }), "Fuse byte 2: 99\n");
}

TEST_F(FuseReads, FuseByteThreeIsTheExtendedFuse) {
    EXPECT_EQ(printed([] { q::getFuseByte3("x"); }), "Fuse byte 3: fd\n");
}

TEST(FuseWrites, AllThreeAreWrittenLowHighExtendedInTheOrderTyped) {
    ScriptedTarget target;
    EXPECT_EQ(printed([] { q::programAllFuses("e1,99,fd"); }), "Write fuse bytes: e1 99 fd\n");
    EXPECT_EQ(target.instructions(),
              (std::vector<Instruction>{lowWrite(0xE1), highWrite(0x99), extendedWrite(0xFD)}));
}

TEST(FuseWrites, EachFieldIsReadWhole) {
    ScriptedTarget target;
    EXPECT_EQ(printed([] { q::programAllFuses("0xe1,0X99, fd"); }), "Write fuse bytes: e1 99 fd\n");
    EXPECT_EQ(printed([] { q::programAllFuses("1e1,ff,0"); }), "Write fuse bytes: e1 ff 0\n");
    EXPECT_EQ(target.instructions(),
              (std::vector<Instruction>{lowWrite(0xE1), highWrite(0x99), extendedWrite(0xFD),
                                        lowWrite(0xE1), highWrite(0xFF), extendedWrite(0x00)}));
}

TEST(FuseWrites, IncompleteTriplesWriteNothing) {
    for (const char* text : {"", "e1", "e1,99", "e1,,fd", "zz,99,fd", "e1,99,", "e1,99,g"}) {
        ScriptedTarget target;
        const std::string out = printed([&] { q::programAllFuses(text); });
        EXPECT_TRUE(target.instructions().empty()) << text;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << text;
        EXPECT_NE(out.find("not written"), std::string::npos) << text;
    }
}

TEST(FuseWrites, ParseFuseTripleFillsCellsOneTwoThree) {
    q::FuseTriple = {0, 0, 0};
    EXPECT_TRUE(q::parseFuseTriple("ff,d9,1"));
    EXPECT_EQ(q::FuseTriple, (std::array<uint8_t, 3>{0xFF, 0xD9, 0x01}));
    EXPECT_FALSE(q::parseFuseTriple("12,,34"));
    EXPECT_EQ(q::FuseTriple, (std::array<uint8_t, 3>{0x12, 0xD9, 0x34}));
    EXPECT_TRUE(q::parseFuseTriple("1,2,3,4")); // the third field runs to the end
    EXPECT_EQ(q::FuseTriple, (std::array<uint8_t, 3>{0x01, 0x02, 0x03}));
}

TEST(FuseWrites, SingleFusesKeepTheLowEightBits) {
    ScriptedTarget target;
    EXPECT_EQ(printed([] { q::programFuseByte1("1e1"); }), "Write fuse byte 1: e1\n");
    EXPECT_EQ(printed([] { q::programFuseByte2("0xd9"); }), "Write fuse byte 2: d9\n");
    EXPECT_EQ(printed([] { q::programFuseByte3("fd"); }), "Write fuse byte 3: fd\n");
    EXPECT_EQ(target.instructions(),
              (std::vector<Instruction>{lowWrite(0xE1), highWrite(0xD9), extendedWrite(0xFD)}));
    EXPECT_EQ(q::FuseTriple, (std::array<uint8_t, 3>{0xE1, 0xD9, 0xFD}));
}

TEST(FuseWrites, SingleFuseWithoutAValueWritesNothing) {
    ScriptedTarget target;
    q::FuseTriple = {0x12, 0x34, 0x56}; // left over from an earlier read: never written
    for (const auto command : {q::programFuseByte1, q::programFuseByte2, q::programFuseByte3}) {
        for (const char* text : {"", "zz", "x"}) {
            const std::string out = printed([&] { command(text); });
            EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
            EXPECT_NE(out.find("not written"), std::string::npos) << out;
        }
    }
    EXPECT_TRUE(target.instructions().empty());
    EXPECT_EQ(q::FuseTriple, (std::array<uint8_t, 3>{0x12, 0x34, 0x56}));
}

TEST(DefaultFuseWrite, Atmega128GetsLow8FHighCBExtendedFF) {
    ScriptedTarget target;
    q::currentDevice = 6;
    q::FuseTriple = {1, 2, 3};
    EXPECT_EQ(printed([] { q::programDefaultFuses("bc"); }), "Write fuse bytes: ff cb 8f\n");
    EXPECT_EQ(target.instructions(),
              (std::vector<Instruction>{lowWrite(0x8F), highWrite(0xCB), extendedWrite(0xFF)}));
    EXPECT_EQ(q::FuseTriple, (std::array<uint8_t, 3>{1, 2, 3})) << "FuseTriple untouched";
}

TEST(DefaultFuseWrite, AnUnrecognisedTargetGetsNothing) {
    ScriptedTarget target;
    q::currentDevice = -1;
    const std::string out = printed([] { q::programDefaultFuses(""); });
    EXPECT_TRUE(target.instructions().empty());
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    EXPECT_NE(out.find("not recognised"), std::string::npos);
}

// The chip ignores instructions while it writes a fuse, so each write must be followed by the
// write time before anything else is sent.
TEST(FuseAndLockWrites, EveryWriteIsGivenTheChipsWriteTime) {
    ScriptedTarget target;
    q::DelayUnits = 300;
    auto timed = [](auto&& f) {
        auto best = std::chrono::steady_clock::duration::max();
        for (int i = 0; i < 3; ++i) {
            const auto start = std::chrono::steady_clock::now();
            f();
            best = std::min(best, std::chrono::steady_clock::now() - start);
        }
        return best;
    };
    const auto threeWaits = timed([] {
        for (int i = 0; i < 3; ++i) {
            q::delayMicros(q::fuseWriteWaitMicros);
        }
    });
    const auto allFuses = timed([] { (void)printed([] { q::programAllFuses("1,2,3"); }); });
    const auto oneFuse = timed([] { (void)printed([] { q::programFuseByte2("1"); }); });
    q::lockEntryCount = 1; // armed: the next entry writes
    const auto lock = timed([] {
        (void)printed([] { q::programLockByte("ff"); });
        q::lockEntryCount = 1;
    });
    q::lockEntryCount = 0;
    q::DelayUnits = 1;
    EXPECT_GT(allFuses, threeWaits * 8 / 10);
    EXPECT_GT(oneFuse, threeWaits / 4);
    EXPECT_GT(lock, threeWaits / 4);
}
