#include <gtest/gtest.h>

#include <string>

#include "commands/commands.h"
#include "commands/dialogue.h"
#include "image/hexfile.h"
#include "scripted_target.h"
#include "transfer/transfer.h"

namespace q = quillon;
using q::testing::Instruction;
using q::testing::printed;
using q::testing::ScriptedTarget;

namespace {

// The letters of the row a word runs, or "-" when it matches nothing.
std::string runs(std::string_view word) {
    const std::optional<q::CommandMatch> match = q::matchCommand(word);
    return match ? std::string(match->entry->letters) : "-";
}

const std::vector<std::pair<uint8_t, bool>> releaseLines{
    {7, true}, {6, true}, {3, true}, {2, true}};

} // namespace

TEST(CommandMatching, FirstRowInTableOrderWinsWithoutRegardToCase) {
    const std::vector<std::pair<const char*, const char*>> cases{
        {"gf1", "gf1"}, {"GF1", "gf1"},  {"gf1x", "gf1"},  {"gf3", "gf3"},  {"gfz", "gf"},
        {"gf4", "gf"},  {"sfe", "sf"},   {"s", "s"},       {"status", "s"}, {"mfx", "mf"},
        {"m", "m"},     {"pfa1", "pfa"}, {"PF1e1", "pf1"}, {"nvx", "nv"},   {"exit", "e"},
        {"erase", "e"}, {"help", "h"},   {"abc", "a"},     {"V", "v"},      {"t2", "t2"},
        {"", "-"},      {"p", "-"},      {"pf", "-"},      {"pf4", "-"},    {"n", "-"},
        {"t", "-"},     {"t3", "-"},     {"g", "-"},       {"-h", "-"},     {"d", "-"}};
    for (const auto& [word, letters] : cases) {
        EXPECT_EQ(runs(word), letters) << word;
    }
    for (const char* word : {"DFprog.hex", "Dfprog.hex", "dfprog.hex"}) {
        EXPECT_EQ(q::matchCommand(word)->entry->run, &q::downloadFlash) << word;
        EXPECT_EQ(q::matchCommand(word)->argument, "prog.hex") << word;
    }
    EXPECT_EQ(q::matchCommand("DE")->entry->run, &q::downloadEeprom);
    EXPECT_EQ(q::matchCommand("ldX.HEX")->entry->run, &q::loadImage);
    EXPECT_EQ(q::matchCommand("ldX.HEX")->argument, "X.HEX");
    EXPECT_EQ(q::matchCommand("Uf")->entry->run, &q::uploadFlash);
    EXPECT_EQ(q::matchCommand("ue")->entry->run, &q::uploadEeprom);
}

TEST(Framing, ConnectingCommandsConnectOnlyAReleasedTargetAndAlwaysRelease) {
    ScriptedTarget target;
    q::targetReleased = 1;
    target.answerConnect(q::testing::atmega16);
    target.answer({0xFF, 0x3C});
    EXPECT_EQ(printed([] { EXPECT_EQ(q::interpretCommand("gl7"), 1); }), "Fuse lock byte ff\n");
    std::vector<Instruction> expected = q::testing::connectInstructions();
    expected.push_back({0x58, 0x00, 0x00, 0x00});
    EXPECT_EQ(target.instructions(), expected);
    EXPECT_EQ(q::currentDevice, 0);
    EXPECT_EQ(q::targetReleased, 1);

    target.clearSent();
    q::targetReleased = 0; // held, as after the greeting
    EXPECT_EQ(printed([] { (void)q::interpretCommand("GL"); }), "Fuse lock byte 3c\n");
    EXPECT_EQ(target.instructions(), (std::vector<Instruction>{{0x58, 0x00, 0x00, 0x00}}));
    EXPECT_EQ(target.port.lineChanges().back(), releaseLines.back());
    EXPECT_EQ(q::targetReleased, 1);
}

TEST(Framing, MemoryCommandsConnectExceptLoad) {
    for (const char* word : {"DF", "de", "uf", "UE", "ld"}) {
        ScriptedTarget target;
        q::targetReleased = 1;
        target.answerConnect(q::testing::atmega16);
        (void)printed([&] { (void)q::interpretCommand(word); });
        const std::vector<Instruction> sent = target.instructions();
        const bool connected =
            !sent.empty() && sent.front() == q::testing::connectInstructions().front();
        EXPECT_EQ(connected, word != std::string("ld")) << word;
        EXPECT_EQ(q::targetReleased, 1) << word;
        q::resetSettings();
    }
}

TEST(Framing, OtherWordsNeverConnectButReleaseAHeldTarget) {
    for (const char* word : {"v", "nv", "t4", "m", "q", "sf", "mf", "p", "pf4", "", "zzz"}) {
        ScriptedTarget target; // held
        (void)printed([&] { EXPECT_EQ(q::interpretCommand(word), 1); });
        EXPECT_EQ(target.port.lineChanges(), releaseLines) << word;
        target.clearSent();
        const std::string out = printed([&] { (void)q::interpretCommand(word); });
        EXPECT_TRUE(target.port.calls.empty()) << word << " touched a released target";
        if (runs(word) == "-") {
            EXPECT_EQ(out, "") << word;
        }
    }
    q::resetSettings();
}

TEST(Framing, OverlongWordsAreRefusedWholeWithOneLine) {
    ScriptedTarget target; // held
    const std::string out =
        printed([] { (void)q::interpretCommand("sf1" + std::string(q::maxWordLength, '0')); });
    EXPECT_EQ(out,
              "Command ignored: longer than 199 characters - use a shorter word or file name\n");
    EXPECT_EQ(q::targetReleased, 1);
    const std::string longest = "sf" + std::string(q::maxWordLength - 3, '0') + "a";
    EXPECT_EQ(printed([&] { (void)q::interpretCommand(longest); }), "Fill char=a\n");
    q::resetSettings();
}
