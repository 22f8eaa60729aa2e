// SPDX-License-Identifier: MIT
#include <cstdlib>

#include "commands/commands.h"

int main(int argc, char** argv) {
    // Leave through exit() so that the exit handlers run, as they do after the exit command.
    std::exit(quillon::runProgram(argc, argv));
}
