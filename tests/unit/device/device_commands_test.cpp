// SPDX-License-Identifier: MIT
// Identifying the target, and what the fuse and lock commands send (their texts and their effect
// on a chip are checked end to end).
#include <gtest/gtest.h>

#include <sstream>

#include "device/device.h"
#include "device/fuse_commands.h"
#include "device/lock_commands.h"
#include "scripted_target.h"

using namespace quillon;
using namespace quillon::testing;

TEST(Identification, AllThreeSignatureBytesDecideAndEmptyRowsMatchNothing) {
    resetProcessState();
    const std::vector<std::pair<uint32_t, int32_t>> cases{
        {0x1E9406, 4},  {0x1E9403, 0},  {0x1E9502, 1},  {0x1E9609, 5},
        {0x1E9407, -1}, {0x941E03, -1}, {0x000000, -1}, {0xFFFFFF, -1}};
    for (const auto& [signature, row] : cases) {
        targetSignature = {uint8_t(signature >> 16), uint8_t(signature >> 8), uint8_t(signature)};
        EXPECT_EQ(identifyDevice(), row) << std::hex << signature;
    }
}

// ATmega128's defaults are extended ff, high cb, low 8f; the chip answers low, high, extended.
TEST(Identification, DefaultFusesSetComparesEveryFuseWithItsOwnDefault) {
    constexpr auto set = DefaultFuses::set;
    constexpr auto notSet = DefaultFuses::notSet;
    const std::vector<std::pair<uint32_t, DefaultFuses>> cases{{0x8FCBFF, set},
                                                               {0x8ECBFF, notSet},
                                                               {0x8FCAFF, notSet},
                                                               {0x8FCBFE, notSet},
                                                               {0xFFCB8F, notSet}};
    for (const auto& [fuses, verdict] : cases) {
        ScriptedTarget target({uint8_t(fuses >> 16), uint8_t(fuses >> 8), uint8_t(fuses)});
        currentDevice = 6;
        EXPECT_EQ(defaultFusesSet(), verdict) << std::hex << fuses;
    }
}

// The chip ignores instructions while it writes a fuse or the lock byte, so every such write is
// followed by the write time, before the next instruction or the release; then the byte is read
// back. This target answers 0: every fuse differs, and the lock byte is read to say why.
TEST(FuseAndLockCommands, EachWritesItsOwnFuseAndGivesTheChipItsWriteTime) {
    ScriptedTarget target;
    currentDevice = 6; // ATmega128: low 8f, high cb, extended ff
    lockEntryCount = 1;
    (void)printed([] {
        programAllFuses("1,2,3");
        programFuseByte1("4");
        programFuseByte2("5");
        programFuseByte3("6");
        programDefaultFuses("");
        programLockByte("fc");
    });
    const std::string w = "wait 9500";
    const std::string lock = "58000000";
    EXPECT_EQ(
        target.log(),
        (Log{"aca00001", w,    "50000000", "aca80002", w,          "58080000", "aca40003", w,
             "50080000", lock, lock,       lock,       "aca00004", w,          "50000000", lock,
             "aca80005", w,    "58080000", lock,       "aca40006", w,          "50080000", lock,
             "aca0008f", w,    "50000000", "aca800cb", w,          "58080000", "aca400ff", w,
             "50080000", lock, lock,       lock,       "ace000fc", w,          lock}));
}

TEST(FuseAndLockCommands, ValuesTheUserDidNotGiveAreNeverWritten) {
    ScriptedTarget target;
    currentDevice = 0;
    lockEntryCount = 1; // the next "pl" acts: it is counted even when it writes nothing
    const std::string out = printed([] {
        for (const char* text : {"", "e1", "e1,99", "e1,,fd", "zz,99,fd", "e1,99,", "e1,99,g"}) {
            programAllFuses(text);
        }
        for (const auto command : {programFuseByte1, programFuseByte2, programFuseByte3}) {
            command("");
            command("x1");
        }
        programLockByte("zz");
        programLockByte("fc");
    });
    EXPECT_EQ(target.log(), Log{});
    std::istringstream lines(out);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_NE(line.find("not written"), std::string::npos) << line;
    }
    EXPECT_EQ(count, 14) << out;
    EXPECT_EQ(lockEntryCount, 1);
}

// Such as one whose MISO line is stuck: it may take the writes, but nothing can be checked.
TEST(FuseAndLockCommands, NothingIsWrittenIntoATargetThatWasNotRecognised) {
    ScriptedTarget target;
    lockEntryCount = 1;
    const std::string out = printed([] {
        programAllFuses("e1,99,fd");
        for (const auto command : {programFuseByte1, programFuseByte2, programFuseByte3}) {
            command("e1");
        }
        programDefaultFuses("");
        programLockByte("3c");
    });
    EXPECT_EQ(target.log(), Log{});
    std::istringstream lines(out);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_NE(line.find("not written: target not recognised"), std::string::npos) << line;
    }
    EXPECT_EQ(count, 6) << out;
    EXPECT_EQ(lockEntryCount, 0);
}
