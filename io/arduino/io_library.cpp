// SPDX-License-Identifier: MIT
// The io library for an Arduino running the ArduinoISP sketch: the programmer extension's entry
// points (io.h) over an ArduinoIsp, set up from QUILLON_ARDUINO.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>

#include "arduino_isp.h"

namespace {

quillon::arduino::ParsedSettings settingsFromEnvironment() {
    const char* text = std::getenv("QUILLON_ARDUINO");
    return quillon::arduino::parseSettings(text != nullptr ? text : "");
}

const quillon::arduino::ParsedSettings Settings = settingsFromEnvironment();
quillon::arduino::ArduinoIsp Programmer(Settings.settings);
std::string SettingsProblem = Settings.problem;

} // namespace

extern "C" {

IO_EXPORT int32_t IO_CALL ProgrammerVersion(void) {
    return IO_PROGRAMMER_VERSION;
}

IO_EXPORT int32_t IO_CALL ProgrammerOpen(void) {
    if (!SettingsProblem.empty()) {
        return IO_FAILED;
    }
    return Programmer.open();
}

// A target that doesn't answer is no failure of the programmer, so quillon asks for no line on
// it; the user gets this one, once, on standard error.
void tellOfSilentTarget() {
    static bool told = false;
    if (!told) {
        told = true;
        std::fputs(
            "Arduino: the target doesn't answer the sketch: check the wiring (Arduino pin 10 "
            "to RESET, 11 to MOSI, 12 to MISO, 13 to SCK, GND to GND), the target's supply, "
            "and its clock (a part whose fuses select a crystal needs that crystal)\n",
            stderr);
    }
}

IO_EXPORT int32_t IO_CALL ProgrammerEnable(uint8_t* echo) {
    uint8_t answer = 0;
    const int32_t result = Programmer.enable(answer);
    if (result == IO_OK && answer != quillon::arduino::enableEcho) {
        tellOfSilentTarget();
    }
    if (echo != nullptr) {
        *echo = answer;
    }
    return result;
}

IO_EXPORT int32_t IO_CALL ProgrammerRelease(void) {
    return Programmer.release();
}

IO_EXPORT int32_t IO_CALL ProgrammerInstruction(const uint8_t* instruction, uint8_t* answer) {
    return Programmer.instruction(std::span<const uint8_t, 4>(instruction, 4),
                                  std::span<uint8_t, 4>(answer, 4));
}

IO_EXPORT int32_t IO_CALL ProgrammerWriteFlash(uint32_t address, const uint8_t* data,
                                               uint32_t length, uint32_t pageBytes,
                                               IoProgress progress, void* context) {
    return Programmer.writeFlash(address, std::span(data, length), pageBytes, progress, context);
}

IO_EXPORT int32_t IO_CALL ProgrammerReadMemory(int32_t memory, uint32_t address, uint8_t* data,
                                               uint32_t length, IoProgress progress,
                                               void* context) {
    return Programmer.readMemory(memory, address, std::span(data, length), progress, context);
}

IO_EXPORT int32_t IO_CALL ProgrammerWriteEeprom(uint32_t address, const uint8_t* data,
                                                uint32_t length, IoProgress progress,
                                                void* context) {
    return Programmer.writeEeprom(address, std::span(data, length), progress, context);
}

IO_EXPORT const char* IO_CALL ProgrammerError(void) {
    return SettingsProblem.empty() ? Programmer.error().c_str() : SettingsProblem.c_str();
}

} // extern "C"
