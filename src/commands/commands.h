// SPDX-License-Identifier: MIT
// Start-up, the target dialogue, the command interpreter and the command settings.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace quillon {

// A command word holds at most this many characters (a command-line argument includes its '-').
inline constexpr std::size_t maxWordLength = 199;

// The settings that the command words change and the memory commands read.
struct CommandSettingsRecord {
    std::string downloadFileName; // "df", "de", "ld"
    std::string uploadFileName;   // "uf", "ue"
    std::string logFileName;      // "lf"
    std::string mismatchFileName; // "mf"
    char verifyMode = 'v';        // 'v' verify after a download, 'n' don't
    char outputMode = 'n';        // 'n', 'v' (verbose) or 'q' (quiet); nothing consults it
    uint8_t fillByte = 0xFF;      // the image's value where no HEX record puts data
    uint8_t logOpen = 0;
    std::FILE* logFile = nullptr;      // opened by "lf", closed by "e" or at exit
    std::FILE* downloadFile = nullptr; // open only while a download or load reads it
    int32_t addressRecordType = 4;     // 4: type 04 address records in uploads, else type 02
    int32_t trimUpload = 1;            // nonzero: uploads end at the last byte that isn't 0xFF
};

inline CommandSettingsRecord CommandSettings;

// Restores verifyMode, fillByte, outputMode, logOpen and the four file names to their defaults.
// addressRecordType, trimUpload and the two streams keep their values.
void resetSettings();

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
