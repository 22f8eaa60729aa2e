// The greeting, the exit command and the printed texts are checked end to end.
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
