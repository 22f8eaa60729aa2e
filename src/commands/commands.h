// SPDX-License-Identifier: MIT
// Start-up, the target dialogue and the command interpreter.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillon {

// A command word holds at most this many characters (a command-line argument includes its '-').
inline constexpr std::size_t maxWordLength = 199;

// The banner's three lines.
void printBanner();

// The help text.
void printHelp();

// Runs one command word (without a command line's leading '-'). Always returns 1; the exit
// command ends the process instead of returning.
int32_t interpretCommand(std::string_view word);

// Greets the target, then runs the command-line arguments (argc > 1) or the prompt. Returns with
// the target released.
void runTargetDialogue(int argc, char** argv);

// The whole program: start-up, the dialogue, the closing line and the key wait. Returns the exit
// status for main.
[[nodiscard]] int runProgram(int argc, char** argv);

} // namespace quillon
