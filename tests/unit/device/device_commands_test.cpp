// What the fuse and lock commands send. Their printed texts are checked end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "device/device.h"
#include "device/device_commands.h"
#include "scripted_target.h"

namespace q = quillon;
using q::testing::Instruction;
using q::testing::printed;
using q::testing::ScriptedTarget;

namespace {

Instruction lowWrite(uint8_t v) {
    return {0xAC, 0xA0, 0x00, v};
}
Instruction highWrite(uint8_t v) {
    return {0xAC, 0xA8, 0x00, v};
}
Instruction extendedWrite(uint8_t v) {
    return {0xAC, 0xA4, 0x00, v};
}
Instruction lockWrite(uint8_t v) {
    return {0xAC, 0xE0, 0x00, v};
}

// A scripted target recognised as an ATmega16: fuses and lock bits are written only into a
// recognised target.
struct RecognisedTarget : ScriptedTarget {
    RecognisedTarget() { q::currentDevice = 0; }
};

// Runs a refused command: nothing may reach the target, and one line says why.
void expectRefused(const std::function<void()>& command, const std::string& what,
                   int32_t device = 0) {
    ScriptedTarget target;
    q::currentDevice = device;
    const std::string out = printed(command);
    EXPECT_TRUE(target.instructions().empty()) << what;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << what << ": " << out;
    EXPECT_NE(out.find("not written"), std::string::npos) << what << ": " << out;
}

} // namespace

TEST(FuseCommands, EachFieldOfATripleIsReadWholeAndWrittenLowHighExtended) {
    RecognisedTarget target;
    EXPECT_EQ(printed([] { q::programAllFuses("0xe1,0X99, fd"); }), "Write fuse bytes: e1 99 fd\n");
    EXPECT_EQ(printed([] { q::programAllFuses("1e1,ff,0,7"); }), "Write fuse bytes: e1 ff 0\n");
    EXPECT_EQ(target.instructions(),
              (std::vector<Instruction>{lowWrite(0xE1), highWrite(0x99), extendedWrite(0xFD),
                                        lowWrite(0xE1), highWrite(0xFF), extendedWrite(0x00)}));
}

TEST(FuseCommands, ValuesTheUserDidNotGiveAreNeverWritten) {
    for (const char* text : {"", "e1", "e1,99", "e1,,fd", "zz,99,fd", "e1,99,", "e1,99,g"}) {
        expectRefused([&] { q::programAllFuses(text); }, std::string("pfa") + text);
    }
    q::FuseTriple = {0x12, 0x34, 0x56}; // left from an earlier read
    for (const auto command : {q::programFuseByte1, q::programFuseByte2, q::programFuseByte3}) {
        expectRefused([&] { command(""); }, "pf without a value");
        expectRefused([&] { command("x1"); }, "pf without a number");
    }
    EXPECT_EQ(q::FuseTriple, (std::array<uint8_t, 3>{0x12, 0x34, 0x56}));
}

TEST(FuseCommands, SingleFusesAndDefaultsGoToTheRightFuse) {
    RecognisedTarget target;
    (void)printed([] {
        q::programFuseByte1("1e1"); // low eight bits
        q::programFuseByte2("d9");
        q::programFuseByte3("fd");
        q::currentDevice = 6; // ATmega128
        q::programDefaultFuses("");
    });
    EXPECT_EQ(target.instructions(),
              (std::vector<Instruction>{lowWrite(0xE1), highWrite(0xD9), extendedWrite(0xFD),
                                        lowWrite(0x8F), highWrite(0xCB), extendedWrite(0xFF)}));
    expectRefused([] { q::programDefaultFuses(""); }, "a on an unrecognised target", -1);
}

TEST(FuseCommands, NothingIsWrittenIntoATargetThatWasNotRecognised) {
    // Such as one whose MISO line is stuck: it may take the writes, but nothing can be checked.
    expectRefused([] { q::programAllFuses("e1,99,fd"); }, "pfa", -1);
    for (const auto command : {q::programFuseByte1, q::programFuseByte2, q::programFuseByte3}) {
        expectRefused([&] { command("e1"); }, "pf", -1);
    }
    q::lockEntryCount = 1;
    expectRefused([] { q::programLockByte("3c"); }, "pl", -1);
    EXPECT_EQ(q::lockEntryCount, 0);
}

TEST(LockCommand, EverySecondEntryWritesItsOwnArgument) {
    RecognisedTarget target;
    q::lockEntryCount = 0;
    const std::string out = printed([] {
        q::programLockByte("11"); // arms
        q::getLockByte("");       // doesn't disarm
        q::programLockByte("3f"); // writes 3f
        q::programLockByte("3f"); // arms
        q::programLockByte("0");  // writes 0
    });
    EXPECT_EQ(out, "Fuse lock byte 0\nWrite lock byte 3f\nWrite lock byte 0\n");
    EXPECT_EQ(target.instructions(),
              (std::vector<Instruction>{{0x58, 0x00, 0x00, 0x00}, lockWrite(0x3F), lockWrite(0)}));
    // An acting entry without a number writes nothing but still counts.
    (void)printed([] { q::programLockByte("fc"); });
    expectRefused([] { q::programLockByte("zz"); }, "pl without a number");
    EXPECT_EQ(q::lockEntryCount, 0);
}

// The chip ignores instructions while it writes a fuse or the lock byte, so each such write must
// be followed by the write time. Timing on a shared machine varies, so this only checks that the
// waits are there at all; the end-to-end tests show every fuse arriving on the simulated chip.
TEST(FuseAndLockWrites, EveryWriteIsGivenTheChipsWriteTime) {
    RecognisedTarget target;
    q::DelayUnits = 1000;
    auto fastest = [](const std::function<void()>& f) {
        auto best = std::chrono::steady_clock::duration::max();
        for (int i = 0; i < 3; ++i) {
            const auto start = std::chrono::steady_clock::now();
            (void)printed(f);
            best = std::min(best, std::chrono::steady_clock::now() - start);
        }
        return best;
    };
    const auto oneWait = fastest([] { q::delayMicros(q::fuseWriteWaitMicros); });
    const auto allFuses = fastest([] { q::programAllFuses("1,2,3"); });
    const auto defaults = fastest([] {
        q::currentDevice = 0;
        q::programDefaultFuses("");
    });
    const auto oneFuse = fastest([] { q::programFuseByte2("1"); });
    const auto lock = fastest([] {
        q::lockEntryCount = 1;
        q::programLockByte("ff");
    });
    q::DelayUnits = 1;
    EXPECT_GT(allFuses, oneWait * 3 / 2);
    EXPECT_GT(defaults, oneWait * 3 / 2);
    EXPECT_GT(oneFuse, oneWait / 3);
    EXPECT_GT(lock, oneWait / 3);
}
