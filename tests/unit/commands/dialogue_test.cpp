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
    for (;;) {
        const q::PromptWord word = q::readPromptWord(input.file);
        if (word.kind == q::PromptWord::Kind::EndOfInput) {
            // and it stays at the end
            EXPECT_EQ(q::readPromptWord(input.file).kind, q::PromptWord::Kind::EndOfInput);
            return words;
        }
        words.push_back(word.kind == q::PromptWord::Kind::TooLong ? "<too long>" : word.text);
    }
}

// The greeting against a held-to-be target answering echo, signature and low/high/extended fuse.
std::string greeting(uint8_t echo, std::array<uint8_t, 3> signature,
                     std::array<uint8_t, 3> lowHighExtended) {
    ScriptedTarget target;
    q::targetReleased = 1;
    target.answerConnect(signature, echo);
    target.answer({lowHighExtended[0], lowHighExtended[1], lowHighExtended[2]});
    const std::string out = printed([] { q::greetTarget(); });
    EXPECT_EQ(q::targetReleased, 0) << "the target stays held after the greeting";
    EXPECT_EQ(target.instructions().size(), 7U);
    return out;
}

} // namespace

TEST(PromptInput, WordsAreSeparatedByAnyWhiteSpace) {
    EXPECT_EQ(wordsOf("  v\tgl\n\n sf1 \r\nGF1"),
              (std::vector<std::string>{"v", "gl", "sf1", "GF1"}));
    EXPECT_EQ(wordsOf(""), std::vector<std::string>{});
    EXPECT_EQ(wordsOf(" \n\t "), std::vector<std::string>{});
}

TEST(PromptInput, AnOverlongWordIsRefusedWholeAndItsRestIsNotTakenAsWords) {
    const std::string longest(q::maxWordLength, 'a');
    EXPECT_EQ(wordsOf(longest + " h"), (std::vector<std::string>{longest, "h"}));
    EXPECT_EQ(wordsOf("v " + longest + "b h"), (std::vector<std::string>{"v", "<too long>", "h"}));
    EXPECT_EQ(wordsOf(std::string(5000, 'e') + "\ngl"),
              (std::vector<std::string>{"<too long>", "gl"}));
}

TEST(Greeting, RecognisedTargetWithItsDefaultFuses) {
    EXPECT_EQ(greeting(0x53, q::testing::atmega16, {0xFF, 0xFF, 0xFF}),
              "Target ATmega16 responding - default fuses set\n");
    EXPECT_EQ(q::currentDevice, 0);
    EXPECT_EQ(greeting(0x53, q::testing::atmega128, {0x8F, 0xCB, 0xFF}),
              "Target ATmega128 responding - default fuses set\n");
}

TEST(Greeting, RecognisedTargetWithOtherFuses) {
    EXPECT_EQ(greeting(0x53, q::testing::atmega16, {0xE1, 0x99, 0xFF}),
              "Target ATmega16 responding - default fuses not set\n");
}

TEST(Greeting, UnrecognisedTarget) {
    EXPECT_EQ(greeting(0x53, {0x1E, 0x94, 0x07}, {0xFF, 0xFF, 0xFF}),
              "Target Processor Unrecognized but responding - default fuses not set\n");
    EXPECT_EQ(q::currentDevice, -1);
}

TEST(Greeting, TargetNotInStep) {
    EXPECT_EQ(greeting(0x00, {0, 0, 0}, {0, 0, 0}),
              "Target not responding to Enable Serial Programming command\n");
    EXPECT_EQ(greeting(0x52, q::testing::atmega16, {0xFF, 0xFF, 0xFF}),
              "Target not responding to Enable Serial Programming command\n");
}

TEST(Prompt, RunsEveryWordWithAPromptAfterEachAndEndsReleasedAtEndOfInput) {
    ScriptedTarget target; // held since the greeting
    q::resetSettings();
    target.answerConnect(q::testing::atmega16); // nv released it, so gl connects
    target.answer({0xFC});
    TextInput input("nv gl\n  mfx\n");
    EXPECT_EQ(printed([&] { q::runPrompt(input.file); }), "\n-"
                                                          "-"
                                                          "Fuse lock byte fc\n-"
                                                          "Mismatch filename=x\n-");
    EXPECT_EQ(q::targetReleased, 1);
    EXPECT_EQ(q::CommandSettings.verifyMode, 'n');
    EXPECT_EQ(target.instructions().size(), 5U) << "one connect and one lock read";
    q::resetSettings();
}

TEST(Prompt, EmptyInputReleasesTheTargetHeldSinceTheGreeting) {
    ScriptedTarget target;
    TextInput input("");
    EXPECT_EQ(printed([&] { q::runPrompt(input.file); }), "\n-");
    EXPECT_EQ(q::targetReleased, 1);
}

TEST(Prompt, AnOverlongWordIsRefusedAndThePromptComesBack) {
    ScriptedTarget target;
    q::resetSettings();
    TextInput input("sf" + std::string(300, '1') + " sf2");
    const std::string out = printed([&] { q::runPrompt(input.file); });
    EXPECT_EQ(out.find("Fill char=11"), std::string::npos);
    EXPECT_NE(out.find("longer than 199"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 14), "-Fill char=2\n-");
    q::resetSettings();
}

TEST(Arguments, OnlyDashedArgumentsRunAndTheTargetEndsReleased) {
    ScriptedTarget target;
    q::resetSettings();
    std::string tooLong = "-mf" + std::string(197, 'x'); // 200 characters with the '-'
    std::string longest = "-mf" + std::string(196, 'y'); // 199
    std::vector<std::string> args{"quillon", "h", "-sf1", "-", "sf2", tooLong, longest, "-SF3"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    const std::string out =
        printed([&] { q::runArguments(static_cast<int>(argv.size()), argv.data()); });
    EXPECT_EQ(out, "Fill char=1\n"
                   "Command ignored: longer than 199 characters - use a shorter word or file "
                   "name\n"
                   "Mismatch filename=" +
                       std::string(196, 'y') + "\nFill char=3\n");
    EXPECT_EQ(q::targetReleased, 1);
    q::resetSettings();
}

TEST(Arguments, WithoutDashedArgumentsTheTargetIsStillReleased) {
    ScriptedTarget target;
    std::vector<std::string> args{"quillon", "gl", "h"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    EXPECT_EQ(printed([&] { q::runArguments(3, argv.data()); }), "");
    EXPECT_EQ(q::targetReleased, 1);
    EXPECT_EQ(target.port.lineChanges(),
              (std::vector<std::pair<uint8_t, bool>>{{7, true}, {6, true}, {3, true}, {2, true}}));
}
