// SPDX-License-Identifier: MIT
// The command interpreter: the ordered command table, prefix matching, and connecting and
// releasing the target around each word.
#include <array>
#include <cstdio>

#include "commands/commands.h"
#include "commands/download_commands.h"
#include "commands/fuse_commands.h"
#include "commands/interpreter.h"
#include "commands/load_command.h"
#include "commands/lock_commands.h"
#include "commands/settings_commands.h"
#include "commands/status_commands.h"
#include "commands/upload_commands.h"
#include "device/device.h"
#include "link/link.h"
#include "link/programmer.h"
#include "platform/progress.h"

namespace quillon {

namespace {

constexpr bool connects = true;
constexpr bool local = false;

// The command table, tried in this order; the first row whose letters begin the word runs. Longer
// commands come before the shorter ones they start with: gf1 before gf, sf before s, mf before m,
// pfa before pf1. There is deliberately no row for p, pf, n, t or g.
constexpr std::array<CommandEntry, 30> commands{{
    {"df", connects, downloadFlash},
    {"de", connects, downloadEeprom},
    {"ld", local, loadImage},
    {"uf", connects, uploadFlash},
    {"ue", connects, uploadEeprom},
    {"lf", local, openLogFile},
    {"mf", local, setMismatchFileName},
    {"sf", local, setFillByte},
    {"gl", connects, getLockByte},
    {"pl", connects, programLockByte},
    {"gf1", connects, getFuseByte1},
    {"gf2", connects, getFuseByte2},
    {"gf3", connects, getFuseByte3},
    {"gf", connects, getFuseBytes},
    {"a", connects, programDefaultFuses},
    {"pfa", connects, programAllFuses},
    {"pf1", connects, programFuseByte1},
    {"pf2", connects, programFuseByte2},
    {"pf3", connects, programFuseByte3},
    {"gc", connects, getCalibrationByte},
    {"i", connects, identifyTarget},
    {"s", connects, showStatus},
    {"v", local, verifyOn},
    {"nv", local, verifyOff},
    {"t2", local, useSegmentAddressRecords},
    {"t4", local, useLinearAddressRecords},
    {"m", local, verboseOutput},
    {"q", local, quietOutput},
    {"h", local, showHelp},
    {"e", local, exitProgram},
}};

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool beginsWith(std::string_view word, std::string_view letters) {
    if (word.size() < letters.size()) {
        return false;
    }
    for (std::size_t i = 0; i < letters.size(); ++i) {
        if (lower(word[i]) != letters[i]) {
            return false;
        }
    }
    return true;
}

void releaseIfHeld() {
    if (Link.targetReleased == 0) {
        releaseTarget();
    }
}

} // namespace

void reportProgrammerFailure(std::string_view during, const ProgrammerFailure& failure) {
    progress::finish();
    std::printf("ERROR - Programmer failed during %.*s: %s\n", static_cast<int>(during.size()),
                during.data(), failure.what());
}

std::optional<CommandMatch> matchCommand(std::string_view word) {
    for (const CommandEntry& entry : commands) {
        if (beginsWith(word, entry.letters)) {
            return CommandMatch{&entry, word.substr(entry.letters.size())};
        }
    }
    return std::nullopt;
}

void refuseLongWord() {
    std::printf("Command ignored: longer than %d characters - use a shorter word or file name\n",
                static_cast<int>(maxWordLength));
    releaseIfHeld();
}

int32_t interpretCommand(std::string_view word) {
    if (word.size() > maxWordLength) {
        refuseLongWord();
        return 1;
    }
    if (const std::optional<CommandMatch> match = matchCommand(word)) {
        try {
            if (match->entry->connects && Link.targetReleased == 1) {
                connectTarget();
            }
            match->entry->run(match->argument);
        } catch (const ProgrammerFailure& failure) {
            reportProgrammerFailure(match->entry->letters, failure);
        }
    }
    releaseIfHeld();
    return 1;
}

} // namespace quillon
