// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <tuple>

#include "commands/commands.h"
#include "commands/dialogue.h"
#include "commands/interpreter.h"
#include "commands/settings.h"
#include "commands/state.h"
#include "device/device.h"
#include "device/lock_commands.h"
#include "image/image.h"
#include "scripted_target.h"

using namespace quillon;
using namespace quillon::testing;
using namespace std::string_literals;

namespace {

// Whether the last lines changed were those of a release.
bool endsReleased(const FakePort& port) {
    const std::vector<std::pair<uint8_t, bool>> release{{7, true}, {6, true}, {3, true}, {2, true}};
    const std::vector<std::pair<uint8_t, bool>> changes = port.lineChanges();
    return changes.size() >= release.size() &&
           std::equal(release.begin(), release.end(), changes.end() - 4);
}

} // namespace

TEST(CommandMatching, FirstRowInTableOrderWinsWithoutRegardToCase) {
    const std::vector<std::pair<const char*, const char*>> cases{
        {"gf1", "gf1"},   {"GF1x", "gf1"}, {"gf3", "gf3"}, {"gf4", "gf"}, {"sfe", "sf"},
        {"s", "s"},       {"status", "s"}, {"mfx", "mf"},  {"m", "m"},    {"pfa1", "pfa"},
        {"PF1e1", "pf1"}, {"nvx", "nv"},   {"exit", "e"},  {"abc", "a"},  {"t2", "t2"},
        {"DFx", "df"},    {"df", "df"},    {"ldX", "ld"},  {"", "-"},     {"p", "-"},
        {"pf", "-"},      {"pf4", "-"},    {"n", "-"},     {"t", "-"},    {"t3", "-"},
        {"g", "-"},       {"-h", "-"}};
    for (const auto& [word, letters] : cases) {
        const std::optional<CommandMatch> match = matchCommand(word);
        EXPECT_EQ(match ? std::string(match->entry->letters) : "-", letters) << word;
    }
    EXPECT_EQ(matchCommand("DFprog.HEX")->argument, "prog.HEX");
}

TEST(Framing, OnlyConnectingWordsConnectAndOnlyAReleasedTargetAndEveryWordReleases) {
    const std::vector<std::pair<const char*, bool>> words{
        {"gl", true},  {"DF", true}, {"de", true},   {"uf", true},   {"UE", true},
        {"ld", false}, {"v", false}, {"sf1", false}, {"pf4", false}, {"", false}};
    for (const auto& [word, connects] : words) {
        for (const int released : {0, 1}) {
            ScriptedTarget target({0x00, 0x1E, 0x94, 0x03}); // no enable echo: identified anyway
            targetReleased = released;
            (void)printed([&command = word] { (void)interpretCommand(command); });
            const bool connected = connects && released == 1;
            const Log sent = target.log();
            EXPECT_EQ(std::count(sent.begin(), sent.end(), "ac530000"), connected)
                << word << released;
            EXPECT_EQ(currentDevice, connected ? 0 : -1) << word << released;
            if (released == 1 && !connects) {
                EXPECT_TRUE(target.port.calls.empty()) << word << " touched a released target";
            } else {
                EXPECT_TRUE(endsReleased(target.port)) << word << released;
            }
        }
    }
}

TEST(Framing, TheDialogueEndsWithTheTargetReleased) {
    ScriptedTarget held;
    std::FILE* const empty = std::fopen("/dev/null", "r");
    EXPECT_EQ(printed([&] { runPrompt(empty); }), "\n-");
    std::fclose(empty);
    EXPECT_TRUE(endsReleased(held.port));
    held.port.calls.clear();
    std::string name = "quillon";
    std::array<char*, 1> argv{name.data()};
    runArguments(1, argv.data());
    EXPECT_TRUE(endsReleased(held.port));
}

TEST(Settings, LastThroughOtherCommandsAndResetRestoresOnlyTheCommandSettings) {
    ScriptedTarget target;
    for (const char* word : {"nv", "m", "t2", "sf12", "mfmis.hex", "lf/dev/null", "gl"}) {
        (void)printed([&] { (void)interpretCommand(word); });
    }
    CommandSettingsRecord& s = CommandSettings;
    EXPECT_EQ(std::tie(s.verifyMode, s.outputMode, s.fillByte, s.logOpen, s.mismatchFileName,
                       s.addressRecordType),
              std::make_tuple(VerifyMode::skip, OutputMode::verbose, uint8_t{0x12}, uint8_t{1},
                              "mis.hex"s, AddressRecordType::segment));
    std::FILE* const logFile = s.logFile;
    ASSERT_NE(logFile, nullptr);
    s.downloadFileName = s.uploadFileName = "x.hex";
    s.trimUpload = UploadTrim::wholeMemory;
    lockEntryCount = 1;

    resetSettings();
    EXPECT_EQ(std::tie(s.verifyMode, s.outputMode, s.fillByte, s.logOpen, s.downloadFileName,
                       s.uploadFileName, s.logFileName, s.mismatchFileName),
              std::make_tuple(VerifyMode::verify, OutputMode::normal, uint8_t{0xFF}, uint8_t{0},
                              ""s, ""s, ""s, ""s));
    EXPECT_EQ(std::tie(s.addressRecordType, s.trimUpload, s.logFile, lockEntryCount),
              std::make_tuple(AddressRecordType::segment, UploadTrim::wholeMemory, logFile, 1));

    resetProcessState(); // closes the log file
}

TEST(ProcessState, ResetPutsEveryRecordBackAsStartUpLeavesIt) {
    resetProcessState();
    const std::array<DeviceRecord, deviceTableRows> table = DeviceTable;
    const int32_t rows = deviceCount;
    CommandSettingsRecord& s = CommandSettings;
    s.verifyMode = VerifyMode::skip;
    s.fillByte = 0;
    s.addressRecordType = AddressRecordType::segment;
    s.trimUpload = UploadTrim::wholeMemory;
    s.uploadFileName = "x.hex";
    s.logFile = std::fopen("/dev/null", "w");
    s.downloadFile = std::fopen("/dev/null", "r");
    DeviceTable[0].name = "x";
    DeviceTable[deviceTableRows - 1].pageWords = 1;
    deviceCount = 1;
    currentDevice = 3;
    targetSignature = {1, 2, 3};
    FuseTriple = {4, 5, 6};
    lockEntryCount = 1;
    ImageBuffer[7] = 1;
    ReadBackBuffer[imageBufferBytes - 1] = 1;
    DelayUnits = 9;
    targetReleased = 1;
    resetProcessState();
    EXPECT_EQ(std::tie(s.verifyMode, s.fillByte, s.addressRecordType, s.trimUpload,
                       s.uploadFileName, s.logFile, s.downloadFile),
              std::make_tuple(VerifyMode::verify, uint8_t{0xFF}, AddressRecordType::linear,
                              UploadTrim::trimmed, ""s, nullptr, nullptr));
    EXPECT_TRUE(std::equal(table.begin(), table.end(), DeviceTable.begin(),
                           [](const auto& a, const auto& b) {
                               return a.name == b.name && a.pageWords == b.pageWords;
                           }));
    EXPECT_EQ(std::tie(deviceCount, currentDevice, lockEntryCount, DelayUnits, targetReleased),
              std::make_tuple(rows, -1, 0, uncalibratedDelayUnits, 0));
    EXPECT_EQ(targetSignature, (std::array<uint8_t, 3>{}));
    EXPECT_EQ(FuseTriple, FuseCells{});
    EXPECT_EQ(std::count(ImageBuffer.begin(), ImageBuffer.end(), 0) +
                  std::count(ReadBackBuffer.begin(), ReadBackBuffer.end(), 0),
              2 * imageBufferBytes);
}
