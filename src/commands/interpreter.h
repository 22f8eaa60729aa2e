// SPDX-License-Identifier: MIT
// The command table and how a word is matched against it.
#pragma once

#include <optional>
#include <string_view>

#include "link/programmer.h"

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

// Says that the programmer failed while `during` ran (a command word's letters, or what the
// dialogue was doing), with its reason; the caller releases the target.
void reportProgrammerFailure(std::string_view during, const ProgrammerFailure& failure);

// Refuses a word or argument longer than maxWordLength: says so and releases a held target.
void refuseLongWord();

} // namespace quillon
