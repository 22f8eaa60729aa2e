#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "commands/dialogue.h"
#include "scripted_target.h"

namespace q = quillon;
using q::testing::printed;
using q::testing::ScriptedTarget;

namespace {

// A stream holding text, read from its start.
struct TextInput {
    explicit TextInput(const std::string& text) : file(std::tmpfile()) {
        std::fputs(text.c_str(), file);
        std::rewind(file);
    }
    ~TextInput() { std::fclose(file); }
    TextInput(const TextInput&) = delete;
    TextInput& operator=(const TextInput&) = delete;
    std::FILE* file;
};

std::vector<std::string> wordsOf(const std::string& text) {
    TextInput input(text);
    std::vector<std::string> words;
    for (q::PromptWord word = q::readPromptWord(input.file);
         word.kind != q::PromptWord::Kind::EndOfInput; word = q::readPromptWord(input.file)) {
        words.push_back(word.kind == q::PromptWord::Kind::TooLong ? "<too long>" : word.text);
    }
    EXPECT_EQ(q::readPromptWord(input.file).kind, q::PromptWord::Kind::EndOfInput);
    return words;
}

} // namespace

TEST(PromptInput, WordsAreWhiteSpaceSeparatedAndOverlongOnesRefusedWhole) {
    const std::string longest(q::maxWordLength, 'a');
    EXPECT_EQ(wordsOf("  v\tgl\n\n sf1 \r\nGF1"),
              (std::vector<std::string>{"v", "gl", "sf1", "GF1"}));
    EXPECT_EQ(wordsOf(" \n\t "), std::vector<std::string>{});
    EXPECT_EQ(wordsOf("v " + longest + " " + longest + "b h"),
              (std::vector<std::string>{"v", longest, "<too long>", "h"}));
    EXPECT_EQ(wordsOf(std::string(5000, 'e') + "\ngl"),
              (std::vector<std::string>{"<too long>", "gl"}));
}

TEST(Greeting, NamesTheTargetAndJudgesItsFuses) {
    struct Case {
        uint8_t echo;
        std::array<uint8_t, 3> signature;
        std::array<uint8_t, 3> lowHighExtended;
        const char* greeting;
    };
    const std::vector<Case> cases{
        {0x53,
         q::testing::atmega16,
         {0xFF, 0xFF, 0xFF},
         "Target ATmega16 responding - default fuses set\n"},
        {0x53,
         q::testing::atmega16,
         {0xE1, 0x99, 0xFF},
         "Target ATmega16 responding - default fuses not set\n"},
        {0x53,
         {0x1E, 0x94, 0x07},
         {0xFF, 0xFF, 0xFF},
         "Target Processor Unrecognized but responding - default fuses not set\n"},
        {0x52,
         q::testing::atmega16,
         {0xFF, 0xFF, 0xFF},
         "Target not responding to Enable Serial Programming command\n"}};
    for (const Case& c : cases) {
        ScriptedTarget target;
        q::targetReleased = 1;
        target.answerConnect(c.signature, c.echo);
        target.answer({c.lowHighExtended[0], c.lowHighExtended[1], c.lowHighExtended[2]});
        EXPECT_EQ(printed([] { q::greetTarget(); }), c.greeting);
        EXPECT_EQ(q::targetReleased, 0) << "held until the first word";
        EXPECT_EQ(target.instructions().size(), 7U) << "every step runs, whatever the echo";
    }
}

TEST(Dialogue, EndOfPromptInputOrOfTheArgumentsReleasesTheTarget) {
    {
        ScriptedTarget target; // held since the greeting
        TextInput input("");
        EXPECT_EQ(printed([&] { q::runPrompt(input.file); }), "\n-");
        EXPECT_EQ(q::targetReleased, 1);
    }
    {
        ScriptedTarget target;
        std::vector<std::string> args{"quillon", "gl", "h"}; // no '-': nothing runs
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        EXPECT_EQ(printed([&] { q::runArguments(3, argv.data()); }), "");
        EXPECT_EQ(q::targetReleased, 1);
    }
}

TEST(Dialogue, ArgumentsCountTheirDashTowardsTheLimit) {
    ScriptedTarget target;
    std::vector<std::string> args{"quillon", "-", "-mf" + std::string(197, 'x'),
                                  "-mf" + std::string(196, 'y')}; // 200 and 199 characters
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    EXPECT_EQ(printed([&] { q::runArguments(4, argv.data()); }),
              "Command ignored: longer than 199 characters - use a shorter word or file name\n"
              "Mismatch filename=" +
                  std::string(196, 'y') + "\n");
    q::resetSettings();
}
