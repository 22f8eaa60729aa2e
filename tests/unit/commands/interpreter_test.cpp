#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "commands/commands.h"
#include "commands/dialogue.h"
#include "scripted_target.h"

using namespace quillon;
using namespace quillon::testing;

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
            (void)printed([&] { (void)interpretCommand(word); });
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
            EXPECT_EQ(targetReleased, 1);
            resetSettings();
        }
    }
}

TEST(Framing, TheDialogueEndsWithTheTargetReleased) {
    {
        ScriptedTarget held;
        std::FILE* const empty = std::fopen("/dev/null", "r");
        EXPECT_EQ(printed([&] { runPrompt(empty); }), "\n-");
        std::fclose(empty);
        EXPECT_TRUE(endsReleased(held.port));
    }
    ScriptedTarget held;
    std::string name = "quillon";
    std::array<char*, 1> argv{name.data()};
    runArguments(1, argv.data());
    EXPECT_TRUE(endsReleased(held.port));
}
