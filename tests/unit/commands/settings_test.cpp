#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "commands/commands.h"
#include "device/device_commands.h"
#include "scripted_target.h"

namespace q = quillon;
using q::testing::printed;
using q::testing::ScriptedTarget;

namespace {

struct Settings : ::testing::Test {
    ScriptedTarget target; // every word releases; nothing here talks to the target
    void SetUp() override { q::resetSettings(); }
    void TearDown() override {
        if (q::CommandSettings.logFile != nullptr) {
            std::fclose(q::CommandSettings.logFile);
            q::CommandSettings.logFile = nullptr;
        }
        q::resetSettings();
        q::CommandSettings.addressRecordType = 4;
    }
    static std::string run(std::string_view word) {
        return printed([&] { (void)q::interpretCommand(word); });
    }
    static std::filesystem::path tempFile(const char* name) {
        return std::filesystem::path(::testing::TempDir()) / name;
    }
};

} // namespace

TEST_F(Settings, FillByteTakesTheLowEightBitsOrStaysAsItWas) {
    EXPECT_EQ(run("sf"), "Fill char=ff\n");
    EXPECT_EQ(run("sf1AB"), "Fill char=ab\n");
    EXPECT_EQ(q::CommandSettings.fillByte, 0xAB);
    EXPECT_EQ(run("sfzz"), "Fill char=ab\n");
    EXPECT_EQ(run("SFe"), "Fill char=e\n");
    EXPECT_EQ(run("sf0"), "Fill char=0\n");
}

TEST_F(Settings, QuietWordsChangeTheirSettingAndPrintNothing) {
    EXPECT_EQ(run("nv"), "");
    EXPECT_EQ(q::CommandSettings.verifyMode, 'n');
    EXPECT_EQ(run("v"), "");
    EXPECT_EQ(q::CommandSettings.verifyMode, 'v');
    EXPECT_EQ(run("m"), "");
    EXPECT_EQ(q::CommandSettings.outputMode, 'v');
    EXPECT_EQ(run("q"), "");
    EXPECT_EQ(q::CommandSettings.outputMode, 'q');
    EXPECT_EQ(run("t2"), "");
    EXPECT_EQ(q::CommandSettings.addressRecordType, 2);
    EXPECT_EQ(run("T4"), "");
    EXPECT_EQ(q::CommandSettings.addressRecordType, 4);
}

TEST_F(Settings, MismatchFileNameIsShown) {
    EXPECT_EQ(run("mfBad.Hex"), "Mismatch filename=Bad.Hex\n");
    EXPECT_EQ(q::CommandSettings.mismatchFileName, "Bad.Hex");
}

TEST_F(Settings, LogFileIsCreatedEmptyAndReplacedByTheNextOne) {
    const auto first = tempFile("quillon_first.log");
    const auto second = tempFile("quillon_second.log");
    {
        std::FILE* f = std::fopen(first.c_str(), "w");
        std::fputs("old contents", f);
        std::fclose(f);
    }
    EXPECT_EQ(run("lf" + first.string()), "");
    EXPECT_EQ(q::CommandSettings.logOpen, 1);
    EXPECT_EQ(q::CommandSettings.logFileName, first.string());
    ASSERT_NE(q::CommandSettings.logFile, nullptr);
    EXPECT_EQ(std::filesystem::file_size(first), 0U) << "cut to zero length";
    EXPECT_EQ(run("lf" + second.string()), "");
    EXPECT_TRUE(std::filesystem::exists(second));
    EXPECT_EQ(run("lf/nonexistent-folder/x.log"), "") << "no message when it can't be opened";
    EXPECT_EQ(q::CommandSettings.logFile, nullptr);
    std::filesystem::remove(first);
    std::filesystem::remove(second);
}

TEST_F(Settings, ResetRestoresTheCommandSettingsAndNothingElse) {
    const auto log = tempFile("quillon_kept.log");
    (void)run("nv");
    (void)run("sf12");
    (void)run("m");
    (void)run("mfmis.hex");
    (void)run("lf" + log.string());
    (void)run("t2");
    q::CommandSettings.downloadFileName = "in.hex";
    q::CommandSettings.uploadFileName = "out.hex";
    q::CommandSettings.trimUpload = 0;
    q::lockEntryCount = 1;
    std::FILE* const openLog = q::CommandSettings.logFile;

    q::resetSettings();

    EXPECT_EQ(q::CommandSettings.verifyMode, 'v');
    EXPECT_EQ(q::CommandSettings.fillByte, 0xFF);
    EXPECT_EQ(q::CommandSettings.outputMode, 'n');
    EXPECT_EQ(q::CommandSettings.logOpen, 0);
    EXPECT_EQ(q::CommandSettings.downloadFileName, "");
    EXPECT_EQ(q::CommandSettings.uploadFileName, "");
    EXPECT_EQ(q::CommandSettings.logFileName, "");
    EXPECT_EQ(q::CommandSettings.mismatchFileName, "");
    // Kept: the record type and trimming for the whole run, the open log, the lock arming.
    EXPECT_EQ(q::CommandSettings.addressRecordType, 2);
    EXPECT_EQ(q::CommandSettings.trimUpload, 0);
    EXPECT_EQ(q::CommandSettings.logFile, openLog);
    EXPECT_EQ(q::lockEntryCount, 1);

    q::CommandSettings.trimUpload = 1;
    q::lockEntryCount = 0;
    std::filesystem::remove(log);
}

TEST_F(Settings, SettingsLastUntilTheNextReset) {
    (void)run("nv");
    (void)run("sf0");
    for (const char* word : {"gl", "h", "p", "t2", "i"}) {
        (void)run(word);
    }
    EXPECT_EQ(q::CommandSettings.verifyMode, 'n');
    EXPECT_EQ(q::CommandSettings.fillByte, 0x00);
}
