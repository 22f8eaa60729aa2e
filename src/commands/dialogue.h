// SPDX-License-Identifier: MIT
// The pieces of the target dialogue: the command table and how a word is matched against it,
// the prompt's word reader, the greeting and the two ways of taking command words.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// One row of the command table.
struct CommandEntry {
    std::string_view letters; // matched case-insensitively against the word's start
    bool connects;            // connect a released target before running
    void (*run)(std::string_view argument);
};

struct CommandMatch {
    const CommandEntry* entry;
    std::string_view argument; // the word after the entry's letters
};

// The first row whose letters begin the word, or nothing.
[[nodiscard]] std::optional<CommandMatch> matchCommand(std::string_view word);

// Refuses a word or argument longer than maxWordLength: says so and releases a held target.
void refuseLongWord();

// One word read at the prompt.
struct PromptWord {
    enum class Kind { Word, TooLong, EndOfInput };
    Kind kind;
    std::string text; // the word, for Kind::Word
};

// Reads the next whitespace-separated word from input, as "%s" does. A word longer than
// maxWordLength is read to its end and answered as TooLong, so no part of it is taken as
// further words.
[[nodiscard]] PromptWord readPromptWord(std::FILE* input);

// Takes the target into programming mode, identifies it and prints the greeting. Leaves the
// target held.
void greetTarget();

// The prompt: reads words from input and runs them until the input ends, then releases the
// target.
void runPrompt(std::FILE* input);

// Runs every argument after the program name that begins with '-', then releases the target.
void runArguments(int argc, char** argv);

} // namespace quillon
