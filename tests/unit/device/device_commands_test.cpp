// What the fuse and lock commands send. Their printed texts are checked end to end.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/device_commands.h"
#include "instruction_log.h"
#include "scripted_target.h"
#include "wait_recorder.h"

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

// Runs a refused command: nothing may reach the target, and one line says why.
void expectRefused(const std::function<void()>& command, const std::string& what) {
    ScriptedTarget target;
    const std::string out = printed(command);
    EXPECT_TRUE(target.instructions().empty()) << what;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << what << ": " << out;
    EXPECT_NE(out.find("not written"), std::string::npos) << what << ": " << out;
}

} // namespace

TEST(FuseCommands, EachFieldOfATripleIsReadWholeAndWrittenLowHighExtended) {
    ScriptedTarget target;
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
    ScriptedTarget target;
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
    q::currentDevice = -1;
    expectRefused([] { q::programDefaultFuses(""); }, "a on an unrecognised target");
}

TEST(LockCommand, EverySecondEntryWritesItsOwnArgument) {
    ScriptedTarget target;
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
// be followed by the write time before anything else reaches it.
TEST(FuseAndLockWrites, EveryWriteIsGivenTheChipsWriteTime) {
    auto log = [](const std::function<void()>& command) {
        ScriptedTarget target;
        q::testing::recordedWaits.clear();
        (void)printed(command);
        return q::testing::instructionLog(target.port, q::testing::recordedWaits);
    };
    using Log = std::vector<std::string>;
    EXPECT_EQ(log([] { q::programAllFuses("1,2,3"); }),
              (Log{"aca00001", "wait 9500", "aca80002", "wait 9500", "aca40003", "wait 9500"}));
    EXPECT_EQ(log([] {
                  q::currentDevice = 6; // ATmega128: low 8f, high cb, extended ff
                  q::programDefaultFuses("");
              }),
              (Log{"aca0008f", "wait 9500", "aca800cb", "wait 9500", "aca400ff", "wait 9500"}));
    EXPECT_EQ(log([] { q::programFuseByte2("1"); }), (Log{"aca80001", "wait 9500"}));
    EXPECT_EQ(log([] {
                  q::lockEntryCount = 1;
                  q::programLockByte("fc");
              }),
              (Log{"ace000fc", "wait 9500"}));
}
