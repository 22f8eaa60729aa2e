// SPDX-License-Identifier: MIT
// The target dialogue's pieces: the greeting and the two ways of taking command words.
#pragma once

#include <cstdio>

namespace quillon {

// Takes the target into programming mode, identifies it and prints the greeting. Leaves the
// target held, unless the programmer failed: that is said, and the target released.
void greetTarget();

// The prompt: reads words from input and runs them until the input ends, then releases the
// target.
void runPrompt(std::FILE* input);

// Runs every argument after the program name that begins with '-', then releases the target.
void runArguments(int argc, char** argv);

} // namespace quillon
