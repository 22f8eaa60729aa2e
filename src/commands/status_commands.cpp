// SPDX-License-Identifier: MIT
// The calibration, identification and status commands: "gc", "i", "s".
#include <cstdio>

#include "commands/status_commands.h"
#include "device/device.h"
#include "device/instructions.h"

namespace quillon {

namespace {

// "Processor: <name>\n" for a row of the table, or the unrecognised line for -1.
void printProcessor(int32_t row) {
    if (row >= 0 && row < deviceCount) {
        const std::string_view name = DeviceTable[static_cast<std::size_t>(row)].name;
        std::printf("Processor: %.*s\n", static_cast<int>(name.size()), name.data());
    } else {
        std::printf("Processor: Unrecognized signature\n");
    }
}

unsigned shown(uint8_t value) {
    return value;
}

} // namespace

void getCalibrationByte(std::string_view) {
    const uint8_t calibration = readCalibration();
    std::printf("Calibration byte: %x\n", shown(calibration));
}

void identifyTarget(std::string_view) {
    readSignature();
    Target.currentDevice = identifyDevice();
    std::printf("Signature bytes: %x %x %x  ", shown(Target.signature[0]),
                shown(Target.signature[1]), shown(Target.signature[2]));
    printProcessor(Target.currentDevice);
}

void showStatus(std::string_view) {
    (void)statusReport();
}

int32_t statusReport() {
    readSignature();
    const int32_t row = identifyDevice();
    const uint8_t lock = readLockBits();
    readFuses();
    const uint8_t calibration = readCalibration();

    printProcessor(row);
    std::printf(" Lock byte = %x", shown(lock));
    if (lock == 0xFF) {
        std::printf("    No locks bits activated\n");
    } else {
        std::printf("\n");
    }
    std::printf(" Signature = %x %x %x\n", shown(Target.signature[0]), shown(Target.signature[1]),
                shown(Target.signature[2]));
    std::printf(" Fuse bytes = %x %x %x\n", shown(Target.fuses.extended), shown(Target.fuses.high),
                shown(Target.fuses.low));
    std::printf(" Calibration byte =  %x\n", shown(calibration));
    return row;
}

} // namespace quillon
