// SPDX-License-Identifier: MIT
// The settings commands and the exit command.
#include "commands/settings_commands.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "commands/commands.h"
#include "commands/settings.h"
#include "commands/state.h"
#include "image/hex_value.h"
#include "link/link.h"

namespace quillon {

void openLogFile(std::string_view fileName) {
    Process.settings.logFileName = std::string(fileName);
    Process.settings.logOpen = 1;
    // A log file opened by an earlier "lf" is closed rather than left open without a handle.
    Process.settings.logFile.reset();
    // Appending: a file that is there already (a program file, given by mistake) keeps what it
    // holds. Nothing is written into it.
    Process.settings.logFile.reset(std::fopen(Process.settings.logFileName.c_str(), "a"));
}

void setMismatchFileName(std::string_view fileName) {
    Process.settings.mismatchFileName = std::string(fileName);
    std::printf("Mismatch filename=%s\n", Process.settings.mismatchFileName.c_str());
}

void setFillByte(std::string_view value) {
    if (const std::optional<uint8_t> fill = readHexByte(value)) {
        Process.settings.fillByte = *fill;
    } else if (!value.empty()) {
        std::printf("Fill char not changed: give it in hexadecimal, as in sf00\n");
    }
    std::printf("Fill char=%x\n", static_cast<unsigned>(Process.settings.fillByte));
}

void verifyOn(std::string_view) {
    Process.settings.verifyMode = VerifyMode::verify;
}

void verifyOff(std::string_view) {
    Process.settings.verifyMode = VerifyMode::skip;
}

void useSegmentAddressRecords(std::string_view) {
    Process.settings.addressRecordType = AddressRecordType::segment;
}

void useLinearAddressRecords(std::string_view) {
    Process.settings.addressRecordType = AddressRecordType::linear;
}

void verboseOutput(std::string_view) {
    Process.settings.outputMode = OutputMode::verbose;
}

void quietOutput(std::string_view) {
    Process.settings.outputMode = OutputMode::quiet;
}

void showHelp(std::string_view) {
    printHelp();
}

void exitProgram(std::string_view) {
    if (Process.settings.logOpen == 1) {
        Process.settings.logFile.reset();
        Process.settings.logOpen = 0;
    }
    releaseTarget();
    // Through exit(), so that the handler freeing the port library runs and files are closed.
    std::exit(1);
}

} // namespace quillon
