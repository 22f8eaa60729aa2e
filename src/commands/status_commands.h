// SPDX-License-Identifier: MIT
// The calibration, identification and status commands "gc", "i" and "s". Each takes the text after
// its command letters (possibly empty); those without an argument ignore it. The interpreter
// connects the target before them and releases it afterwards.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillon {

// "gc": reads and shows the calibration byte.
void getCalibrationByte(std::string_view ignored);
// "i": reads the signature, sets Target.currentDevice and shows the device.
void identifyTarget(std::string_view ignored);
// "s": the status report.
void showStatus(std::string_view ignored);

// Prints the processor, lock byte, signature, fuses and calibration byte. Returns the row of the
// device it found, or -1; Target.currentDevice is not changed.
int32_t statusReport();

} // namespace quillon
