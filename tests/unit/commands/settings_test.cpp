#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "commands/commands.h"
#include "device/device_commands.h"
#include "scripted_target.h"

using namespace quillon;
using namespace quillon::testing;
using namespace std::string_literals;

TEST(Settings, LastThroughOtherCommandsAndResetRestoresOnlyTheCommandSettings) {
    ScriptedTarget target;
    const std::string log = ::testing::TempDir() + "quillon_settings.log";
    for (const std::string& word : {"nv"s, "m"s, "t2"s, "sf12"s, "mfmis.hex"s, "lf" + log, "gl"s}) {
        (void)printed([&] { (void)interpretCommand(word); });
    }
    CommandSettingsRecord& s = CommandSettings;
    EXPECT_EQ(std::tie(s.verifyMode, s.outputMode, s.fillByte, s.logOpen, s.mismatchFileName),
              std::make_tuple('n', 'v', uint8_t{0x12}, uint8_t{1}, "mis.hex"s));
    std::FILE* const logFile = s.logFile;
    ASSERT_NE(logFile, nullptr);
    s.downloadFileName = s.uploadFileName = "x.hex";
    s.trimUpload = 0;
    lockEntryCount = 1;

    resetSettings();
    EXPECT_EQ(std::tie(s.verifyMode, s.outputMode, s.fillByte, s.logOpen, s.downloadFileName,
                       s.uploadFileName, s.logFileName, s.mismatchFileName),
              std::make_tuple('v', 'n', uint8_t{0xFF}, uint8_t{0}, ""s, ""s, ""s, ""s));
    EXPECT_EQ(std::tie(s.addressRecordType, s.trimUpload, s.logFile, lockEntryCount),
              std::make_tuple(2, 0, logFile, 1));

    std::fclose(logFile);
    s = CommandSettingsRecord{};
    lockEntryCount = 0;
    std::remove(log.c_str());
}
