#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "commands/commands.h"
#include "device/device_commands.h"
#include "scripted_target.h"

namespace fs = std::filesystem;
namespace q = quillon;
using q::testing::printed;
using q::testing::ScriptedTarget;

namespace {

std::string run(std::string_view word) {
    return printed([&] { (void)q::interpretCommand(word); });
}

} // namespace

TEST(Settings, FillByteTakesTheLowEightBitsOrStaysAsItWas) {
    ScriptedTarget target;
    q::resetSettings();
    std::string out;
    for (const char* word : {"sf", "sf1AB", "sfzz", "SFe"}) {
        out += run(word);
    }
    EXPECT_EQ(out, "Fill char=ff\nFill char=ab\nFill char=ab\nFill char=e\n");
    EXPECT_EQ(run("mfBad.Hex"), "Mismatch filename=Bad.Hex\n");
    q::resetSettings();
}

TEST(Settings, ResetRestoresTheCommandSettingsAndNothingElse) {
    ScriptedTarget target;
    const fs::path log = fs::path(::testing::TempDir()) / "quillon_settings.log";
    const fs::path next = fs::path(::testing::TempDir()) / "quillon_settings2.log";
    q::resetSettings();
    std::string out;
    for (const char* word : {"nv", "m", "t2", "i", "gl", "p", "h"}) {
        out += run(word);
    }
    (void)run("sf12");
    (void)run("mfmis.hex");
    EXPECT_EQ(run("lf" + log.string()), "");
    EXPECT_TRUE(fs::exists(log));
    // Settings last through other commands until the reset.
    EXPECT_EQ(q::CommandSettings.verifyMode, 'n');
    EXPECT_EQ(q::CommandSettings.fillByte, 0x12);
    EXPECT_EQ(q::CommandSettings.outputMode, 'v');
    q::CommandSettings.downloadFileName = "in.hex";
    q::CommandSettings.uploadFileName = "out.hex";
    q::lockEntryCount = 1;
    std::FILE* const openLog = q::CommandSettings.logFile;
    ASSERT_NE(openLog, nullptr);

    q::resetSettings();

    EXPECT_EQ(q::CommandSettings.verifyMode, 'v');
    EXPECT_EQ(q::CommandSettings.fillByte, 0xFF);
    EXPECT_EQ(q::CommandSettings.outputMode, 'n');
    EXPECT_EQ(q::CommandSettings.logOpen, 0);
    for (const std::string* name :
         {&q::CommandSettings.downloadFileName, &q::CommandSettings.uploadFileName,
          &q::CommandSettings.logFileName, &q::CommandSettings.mismatchFileName}) {
        EXPECT_EQ(*name, "");
    }
    EXPECT_EQ(q::CommandSettings.addressRecordType, 2);
    EXPECT_EQ(q::CommandSettings.trimUpload, 1);
    EXPECT_EQ(q::CommandSettings.logFile, openLog) << "the log stays open";
    EXPECT_EQ(q::lockEntryCount, 1);

    // A second log replaces the first, whose stream is closed rather than lost.
    EXPECT_EQ(run("lf" + next.string()), "");
    EXPECT_TRUE(fs::exists(next));
    EXPECT_EQ(run("lf/nonexistent-folder/x.log"), "");
    EXPECT_EQ(q::CommandSettings.logFile, nullptr);
    q::lockEntryCount = 0;
    q::CommandSettings.addressRecordType = 4;
    q::resetSettings();
    fs::remove(log);
    fs::remove(next);
}
