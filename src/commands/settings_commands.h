// SPDX-License-Identifier: MIT
// The interpreter's own commands: the settings words, help and exit. Each takes the text after
// its command letters; those without an argument ignore it.
#pragma once

#include <string_view>

namespace quillon {

// "lf": opens the log file (nothing is ever written to it).
void openLogFile(std::string_view fileName);
// "mf": records the mismatch file name and shows it.
void setMismatchFileName(std::string_view fileName);
// "sf": sets the fill byte from a hexadecimal value and shows it.
void setFillByte(std::string_view value);
// "v" and "nv": verification after the next download on or off.
void verifyOn(std::string_view ignored);
void verifyOff(std::string_view ignored);
// "t2" and "t4": extended segment (02) or extended linear (04) address records in uploads.
void useSegmentAddressRecords(std::string_view ignored);
void useLinearAddressRecords(std::string_view ignored);
// "m" and "q": verbose or quiet output mode.
void verboseOutput(std::string_view ignored);
void quietOutput(std::string_view ignored);
// "h": the help text.
void showHelp(std::string_view ignored);
// "e": closes the log file, releases the target and ends the process with status 1.
[[noreturn]] void exitProgram(std::string_view ignored);

} // namespace quillon
