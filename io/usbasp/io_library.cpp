// SPDX-License-Identifier: MIT
// The io library's programmer extension (io.h) over a USBasp, configured by QUILLON_USBASP (see
// usbasp_programmer.h). It exports no port entry points: quillon drives the target through the
// programmer's instructions and blocks only.
#include <cstdlib>

#include "io.h"
#include "usbasp_programmer.h"

namespace {

using quillon::usbasp::UsbaspProgrammer;

UsbaspProgrammer& programmer() {
    static UsbaspProgrammer usbasp(quillon::usbasp::librarySystem(), [] {
        const char* text = std::getenv("QUILLON_USBASP");
        return std::string(text != nullptr ? text : "");
    }());
    return usbasp;
}

} // namespace

extern "C" {

IO_EXPORT int32_t IO_CALL ProgrammerVersion(void) {
    return IO_PROGRAMMER_VERSION;
}

IO_EXPORT int32_t IO_CALL ProgrammerOpen(void) {
    return programmer().open();
}

IO_EXPORT int32_t IO_CALL ProgrammerEnable(uint8_t* echo) {
    uint8_t answer = 0;
    const IoResult result = programmer().enable(answer);
    *echo = answer;
    return result;
}

IO_EXPORT int32_t IO_CALL ProgrammerRelease(void) {
    return programmer().release();
}

IO_EXPORT int32_t IO_CALL ProgrammerInstruction(const uint8_t* instruction, uint8_t* answer) {
    return programmer().instruction(std::span<const uint8_t, 4>(instruction, 4),
                                    std::span<uint8_t, 4>(answer, 4));
}

IO_EXPORT int32_t IO_CALL ProgrammerWriteFlash(uint32_t address, const uint8_t* data,
                                               uint32_t length, uint32_t pageBytes,
                                               IoProgress progress, void* context) {
    return programmer().writeFlash(address, std::span(data, length), pageBytes, progress, context);
}

IO_EXPORT int32_t IO_CALL ProgrammerReadMemory(int32_t memory, uint32_t address, uint8_t* data,
                                               uint32_t length, IoProgress progress,
                                               void* context) {
    return programmer().readMemory(memory == IO_EEPROM ? IO_EEPROM : IO_FLASH, address,
                                   std::span(data, length), progress, context);
}

IO_EXPORT int32_t IO_CALL ProgrammerWriteEeprom(uint32_t address, const uint8_t* data,
                                                uint32_t length, IoProgress progress,
                                                void* context) {
    return programmer().writeEeprom(address, std::span(data, length), progress, context);
}

IO_EXPORT const char* IO_CALL ProgrammerError(void) {
    return programmer().error().c_str();
}

} // extern "C"
