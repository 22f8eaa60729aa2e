#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "commands/commands.h"
#include "commands/dialogue.h"
#include "commands/settings_commands.h"
#include "device/device_commands.h"
#include "image/hexfile.h"
#include "scripted_target.h"
#include "transfer/transfer.h"

namespace q = quillon;
using q::testing::Instruction;
using q::testing::printed;
using q::testing::ScriptedTarget;

namespace {

// The letters of the row a word runs, or "" when it matches nothing.
std::string runs(std::string_view word) {
    const std::optional<q::CommandMatch> match = q::matchCommand(word);
    return match ? std::string(match->entry->letters) : std::string();
}

std::string argumentOf(std::string_view word) {
    return std::string(q::matchCommand(word).value().argument);
}

std::vector<std::pair<uint8_t, bool>> releaseLines() {
    return {{7, true}, {6, true}, {3, true}, {2, true}};
}

} // namespace

TEST(CommandTable, HasThirtyRowsInTestOrder) {
    std::vector<std::string_view> letters;
    std::vector<std::string_view> connecting;
    for (const q::CommandEntry& entry : q::commandTable()) {
        letters.push_back(entry.letters);
        if (entry.connects) {
            connecting.push_back(entry.letters);
        }
    }
    const std::vector<std::string_view> expected{
        "df",  "de",  "ld",  "uf", "ue", "lf",  "mf",  "sf",  "gl",  "pl",
        "gf1", "gf2", "gf3", "gf", "a",  "pfa", "pf1", "pf2", "pf3", "gc",
        "i",   "s",   "v",   "nv", "t2", "t4",  "m",   "q",   "h",   "e"};
    EXPECT_EQ(letters, expected);
    const std::vector<std::string_view> expectedConnecting{"df",  "de",  "uf",  "ue", "gl", "pl",
                                                           "gf1", "gf2", "gf3", "gf", "a",  "pfa",
                                                           "pf1", "pf2", "pf3", "gc", "i",  "s"};
    EXPECT_EQ(connecting, expectedConnecting);
}

TEST(CommandMatching, LongerCommandsAreTriedBeforeTheShorterOnesTheyBeginWith) {
    EXPECT_EQ(runs("gf1"), "gf1");
    EXPECT_EQ(runs("GF1"), "gf1");
    EXPECT_EQ(runs("gf1x"), "gf1");
    EXPECT_EQ(runs("gf3"), "gf3");
    EXPECT_EQ(runs("gfz"), "gf");
    EXPECT_EQ(runs("gf4"), "gf");
    EXPECT_EQ(runs("sfe"), "sf");
    EXPECT_EQ(runs("s"), "s");
    EXPECT_EQ(runs("status"), "s");
    EXPECT_EQ(runs("mfname"), "mf");
    EXPECT_EQ(runs("m"), "m");
    EXPECT_EQ(runs("pfa1,2,3"), "pfa");
    EXPECT_EQ(runs("PF1e1"), "pf1");
    EXPECT_EQ(runs("nvx"), "nv");
}

TEST(CommandMatching, OneLetterCommandsTakeEveryWordTheyBegin) {
    EXPECT_EQ(runs("exit"), "e");
    EXPECT_EQ(runs("erase"), "e");
    EXPECT_EQ(runs("help"), "h");
    EXPECT_EQ(runs("abc"), "a");
    EXPECT_EQ(runs("identify"), "i");
    EXPECT_EQ(runs("quiet"), "q");
    EXPECT_EQ(runs("V"), "v");
}

TEST(CommandMatching, SomeWordsMatchNothing) {
    for (const char* word :
         {"", "p", "pf", "pf4", "P", "n", "t", "t3", "g", "-h", "-", "x", "u", "d", "l", "1"}) {
        EXPECT_EQ(runs(word), "") << word;
    }
}

TEST(CommandMatching, CaseDoesNotMatterAndTheRestIsTheArgument) {
    for (const char* word : {"DFprog.hex", "Dfprog.hex", "dfprog.hex", "dFprog.hex"}) {
        const std::optional<q::CommandMatch> match = q::matchCommand(word);
        ASSERT_TRUE(match) << word;
        EXPECT_EQ(match->entry->run, &q::downloadFlash) << word;
        EXPECT_EQ(match->argument, "prog.hex") << word;
    }
    EXPECT_EQ(q::matchCommand("DEx")->entry->run, &q::downloadEeprom);
    EXPECT_EQ(q::matchCommand("ldX.HEX")->entry->run, &q::loadImage);
    EXPECT_EQ(argumentOf("ldX.HEX"), "X.HEX") << "the argument keeps its case";
    EXPECT_EQ(q::matchCommand("UF")->entry->run, &q::uploadFlash);
    EXPECT_EQ(q::matchCommand("ue")->entry->run, &q::uploadEeprom);
    EXPECT_EQ(argumentOf("UF"), "");
    EXPECT_EQ(argumentOf("pfae1,99,fd"), "e1,99,fd");
    EXPECT_EQ(argumentOf("gl7"), "7");
}

TEST(Framing, AConnectingCommandConnectsAReleasedTargetAndReleasesIt) {
    ScriptedTarget target;
    q::targetReleased = 1;
    target.answerConnect(q::testing::atmega16);
    target.answer({0xFF});
    EXPECT_EQ(printed([] { EXPECT_EQ(q::interpretCommand("gl7"), 1); }), "Fuse lock byte ff\n");
    std::vector<Instruction> expected = q::testing::connectInstructions();
    expected.push_back({0x58, 0x00, 0x00, 0x00});
    EXPECT_EQ(target.instructions(), expected);
    EXPECT_EQ(q::currentDevice, 0);
    EXPECT_EQ(q::targetReleased, 1);
    const auto lines = target.port.lineChanges();
    ASSERT_GE(lines.size(), 4U);
    EXPECT_TRUE(std::equal(lines.end() - 4, lines.end(), releaseLines().begin()));
}

TEST(Framing, AHeldTargetIsNotConnectedAgain) {
    ScriptedTarget target; // held, as after the greeting
    target.answer({0x3C});
    EXPECT_EQ(printed([] { (void)q::interpretCommand("GL"); }), "Fuse lock byte 3c\n");
    EXPECT_EQ(target.instructions(), (std::vector<Instruction>{{0x58, 0x00, 0x00, 0x00}}));
    EXPECT_EQ(q::targetReleased, 1);
}

TEST(Framing, MemoryCommandsConnectExceptLoad) {
    for (const char* word : {"DF", "de", "uf", "UE"}) {
        ScriptedTarget target;
        q::targetReleased = 1;
        target.answerConnect(q::testing::atmega16);
        (void)printed([&] { (void)q::interpretCommand(word); });
        const std::vector<Instruction> sent = target.instructions();
        ASSERT_GE(sent.size(), 4U) << word;
        EXPECT_EQ(sent.front(), (Instruction{0xAC, 0x53, 0x00, 0x00})) << word;
        EXPECT_EQ(q::targetReleased, 1) << word;
    }
    q::resetSettings();
    ScriptedTarget target;
    q::targetReleased = 1;
    (void)printed([] { (void)q::interpretCommand("ld"); });
    EXPECT_TRUE(target.instructions().empty());
    q::resetSettings();
}

TEST(Framing, OtherWordsNeverConnectButAlwaysReleaseAHeldTarget) {
    for (const char* word : {"v", "nv", "t4", "m", "q", "sf", "p", "pf4", "", "zzz"}) {
        {
            ScriptedTarget target; // held
            (void)printed([&] { EXPECT_EQ(q::interpretCommand(word), 1); });
            EXPECT_EQ(target.port.lineChanges(), releaseLines()) << word;
            EXPECT_EQ(q::targetReleased, 1) << word;
        }
        {
            ScriptedTarget target;
            q::targetReleased = 1;
            (void)printed([&] { (void)q::interpretCommand(word); });
            EXPECT_TRUE(target.port.calls.empty()) << word << " touched the port";
        }
    }
    q::resetSettings();
}

TEST(Framing, UnmatchedWordsPrintNothing) {
    ScriptedTarget target;
    q::targetReleased = 1;
    for (const char* word : {"p", "pf", "pf4", "n", "t", "g", "-h"}) {
        EXPECT_EQ(printed([&] { (void)q::interpretCommand(word); }), "") << word;
    }
}

TEST(Framing, OverlongWordsAreRefusedWhole) {
    ScriptedTarget target; // held
    const std::string word = "sf1" + std::string(q::maxWordLength, '0');
    q::resetSettings();
    const std::string out = printed([&] { EXPECT_EQ(q::interpretCommand(word), 1); });
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    EXPECT_NE(out.find("longer than 199"), std::string::npos);
    EXPECT_EQ(out.find("Fill"), std::string::npos) << "not run";
    EXPECT_EQ(q::targetReleased, 1);
    const std::string longest = "sf" + std::string(q::maxWordLength - 3, '0') + "a";
    EXPECT_EQ(printed([&] { (void)q::interpretCommand(longest); }), "Fill char=a\n");
    q::resetSettings();
}

TEST(ExitCommand, EndsTheProcessWithStatusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ScriptedTarget target;
            std::printf("before");
            (void)q::interpretCommand("exit");
            std::printf("after");
        },
        ::testing::ExitedWithCode(1), "");
}
