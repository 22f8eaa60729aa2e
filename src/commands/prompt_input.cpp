// SPDX-License-Identifier: MIT
// Reading the prompt's command words from standard input.
#include "commands/prompt_input.h"
#include "commands/commands.h"

namespace quillon {

namespace {

bool isSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

PromptWord readPromptWord(std::FILE* input) {
    int c = std::fgetc(input);
    while (c != EOF && isSpace(c)) {
        c = std::fgetc(input);
    }
    if (c == EOF) {
        return {PromptWord::Kind::EndOfInput, {}};
    }
    PromptWord word{PromptWord::Kind::Word, {}};
    for (; c != EOF && !isSpace(c); c = std::fgetc(input)) {
        if (word.text.size() < maxWordLength) {
            word.text.push_back(static_cast<char>(c));
        } else {
            word.kind = PromptWord::Kind::TooLong; // read on to the word's end, keep nothing
        }
    }
    if (word.kind == PromptWord::Kind::TooLong) {
        word.text.clear();
    }
    return word;
}

} // namespace quillon
