// SPDX-License-Identifier: MIT
// The prompt's word reader.
#pragma once

#include <cstdio>
#include <string>

namespace quillon {

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

} // namespace quillon
