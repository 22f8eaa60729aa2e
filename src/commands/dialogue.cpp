// SPDX-License-Identifier: MIT
// The target dialogue: the greeting, then the command words from the command line or the
// prompt.
#include <cstdio>
#include <string_view>

#include "commands/commands.h"
#include "commands/dialogue.h"
#include "commands/interpreter.h"
#include "commands/prompt_input.h"
#include "device/device.h"
#include "device/instructions.h"
#include "link/link.h"
#include "link/programmer.h"

namespace quillon {

namespace {

// The echo of Programming Enable from a target that is in step.
constexpr uint8_t enableEcho = 0x53;

// Takes the target into programming mode and greets it, holding it.
void greetHeldTarget() {
    const uint8_t echo = enterProgrammingMode();
    readSignature();
    Target.currentDevice = identifyDevice();
    const DefaultFuses verdict = defaultFusesSet();

    if (echo != enableEcho) {
        std::printf("Target not responding to Enable Serial Programming command\n");
        return;
    }
    if (const DeviceRecord* device = currentDeviceRecord()) {
        std::printf("Target %.*s responding ", static_cast<int>(device->name.size()),
                    device->name.data());
    } else {
        std::printf("Target Processor Unrecognized but responding ");
    }
    std::printf(verdict == DefaultFuses::set ? "- default fuses set\n"
                                             : "- default fuses not set\n");
}

} // namespace

void greetTarget() {
    try {
        greetHeldTarget();
    } catch (const ProgrammerFailure& failure) {
        reportProgrammerFailure("the greeting", failure);
        releaseTarget();
    }
}

void runPrompt(std::FILE* input) {
    std::printf("\n-");
    for (;;) {
        std::fflush(stdout); // the prompt must be on the screen before the word is awaited
        const PromptWord word = readPromptWord(input); // an interrupt ends the wait for it
        stopIfInterrupted();
        if (word.kind == PromptWord::Kind::EndOfInput) {
            break; // never run the last word again: the dialogue ends here
        }
        if (word.kind == PromptWord::Kind::TooLong) {
            refuseLongWord();
            std::printf("-");
            continue;
        }
        if (interpretCommand(word.text) == 1) {
            std::printf("-");
        }
    }
    releaseTarget();
}

void runArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.empty() || argument.front() != '-') {
            continue;
        }
        stopIfInterrupted();
        if (argument.size() > maxWordLength) {
            refuseLongWord();
            continue;
        }
        (void)interpretCommand(argument.substr(1));
    }
    releaseTarget();
}

void runTargetDialogue(int argc, char** argv) {
    greetTarget();
    if (argc <= 1) {
        runPrompt(stdin);
    } else {
        runArguments(argc, argv);
    }
}

} // namespace quillon
