#include <gtest/gtest.h>

#include <algorithm>

#include "device/device_commands.h"
#include "scripted_target.h"

namespace q = quillon;
using q::testing::Instruction;
using q::testing::printed;
using q::testing::ScriptedTarget;

TEST(Lock, ReadShowsTheLockByte) {
    ScriptedTarget target;
    target.answer({0xFC});
    EXPECT_EQ(printed([] { q::getLockByte("7"); }), "Fuse lock byte fc\n");
    EXPECT_EQ(target.instructions(), (std::vector<Instruction>{{0x58, 0x00, 0x00, 0x00}}));
}

TEST(Lock, OnlyEverySecondEntryWritesWithItsOwnArgument) {
    ScriptedTarget target;
    q::lockEntryCount = 0;
    EXPECT_EQ(printed([] { q::programLockByte("11"); }), "");
    EXPECT_TRUE(target.instructions().empty());
    target.answer({0xFF});
    (void)printed([] { q::getLockByte(""); }); // other commands don't disarm it
    target.clearSent();
    EXPECT_EQ(printed([] { q::programLockByte("3f"); }), "Write lock byte 3f\n");
    EXPECT_EQ(target.instructions(), (std::vector<Instruction>{{0xAC, 0xE0, 0x00, 0x3F}}));
    target.clearSent();
    EXPECT_EQ(printed([] { q::programLockByte("3f"); }), "");
    EXPECT_EQ(printed([] { q::programLockByte("0"); }), "Write lock byte 0\n");
    EXPECT_EQ(target.instructions(), (std::vector<Instruction>{{0xAC, 0xE0, 0x00, 0x00}}));
    EXPECT_EQ(q::lockEntryCount, 0);
}

TEST(Lock, ActingEntryWithoutAValueWritesNothingButCounts) {
    ScriptedTarget target;
    q::lockEntryCount = 0;
    EXPECT_EQ(printed([] { q::programLockByte("fc"); }), "");
    const std::string out = printed([] { q::programLockByte("zz"); });
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    EXPECT_NE(out.find("not written"), std::string::npos);
    EXPECT_TRUE(target.instructions().empty());
    EXPECT_EQ(q::lockEntryCount, 0);
    EXPECT_EQ(printed([] { q::programLockByte("fc"); }), "") << "the count starts over";
    q::lockEntryCount = 0;
}

TEST(Calibration, ShowsTheCalibrationByte) {
    ScriptedTarget target;
    target.answer({0xA7});
    EXPECT_EQ(printed([] { q::getCalibrationByte(""); }), "Calibration byte: a7\n");
    EXPECT_EQ(target.instructions(), (std::vector<Instruction>{{0x38, 0x00, 0x00, 0x00}}));
}

TEST(Identify, NamesTheDeviceAndSetsCurrentDevice) {
    ScriptedTarget target;
    target.answer({0x1E, 0x94, 0x06});
    EXPECT_EQ(printed([] { q::identifyTarget("x"); }),
              "Signature bytes: 1e 94 6  Processor: ATmega168\n");
    EXPECT_EQ(q::currentDevice, 4);
}

TEST(Identify, AnUnknownSignatureClearsCurrentDevice) {
    ScriptedTarget target;
    q::currentDevice = 0;
    target.answer({0x1E, 0x94, 0x07});
    EXPECT_EQ(printed([] { q::identifyTarget(""); }),
              "Signature bytes: 1e 94 7  Processor: Unrecognized signature\n");
    EXPECT_EQ(q::currentDevice, -1);
}

TEST(Status, ReportsAnUnlockedAtmega16) {
    ScriptedTarget target;
    q::currentDevice = -1;
    // signature, lock, low, high, extended fuse, calibration
    target.answer({0x1E, 0x94, 0x03, 0xFF, 0xE1, 0x99, 0xFF, 0xA7});
    int32_t row = -2;
    EXPECT_EQ(printed([&] { row = q::statusReport(); }), "Processor: ATmega16\n"
                                                         " Lock byte = ff    No locks bits "
                                                         "activated\n"
                                                         " Signature = 1e 94 3\n"
                                                         " Fuse bytes = ff 99 e1\n"
                                                         " Calibration byte =  a7\n");
    EXPECT_EQ(row, 0);
    EXPECT_EQ(q::currentDevice, -1) << "the report doesn't change the current device";
    EXPECT_EQ(target.instructions(), (std::vector<Instruction>{{0x30, 0x00, 0x00, 0x00},
                                                               {0x30, 0x00, 0x01, 0x00},
                                                               {0x30, 0x00, 0x02, 0x00},
                                                               {0x58, 0x00, 0x00, 0x00},
                                                               {0x50, 0x00, 0x00, 0x00},
                                                               {0x58, 0x08, 0x00, 0x00},
                                                               {0x50, 0x08, 0x00, 0x00},
                                                               {0x38, 0x00, 0x00, 0x00}}));
}

TEST(Status, ReportsALockedUnknownTarget) {
    ScriptedTarget target;
    q::currentDevice = 0;
    target.answer({0x00, 0x00, 0x00, 0xFC, 0x00, 0x00, 0x00, 0x0A});
    EXPECT_EQ(printed([] { q::showStatus("tatus"); }), "Processor: Unrecognized signature\n"
                                                       " Lock byte = fc\n"
                                                       " Signature = 0 0 0\n"
                                                       " Fuse bytes = 0 0 0\n"
                                                       " Calibration byte =  a\n");
    EXPECT_EQ(q::currentDevice, 0);
}
