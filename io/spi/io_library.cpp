// SPDX-License-Identifier: MIT
// The io library's programmer extension (io.h) for Linux over an SPI controller and a GPIO line
// for RESET (see spi_programmer.h), configured by QUILLON_SPI. Only the instruction-level entry
// points: the program builds page writes and reads from single instructions.
#include <array>
#include <cstdlib>
#include <span>

#include "io.h"
#include "spi_programmer.h"

namespace {

std::string configuration() {
    const char* text = std::getenv("QUILLON_SPI");
    return text != nullptr ? text : "";
}

quillon::spi::SpiProgrammer programmer(quillon::spi::librarySystem(), configuration());

int32_t result(bool done) {
    return done ? IO_OK : IO_FAILED;
}

} // namespace

extern "C" {

IO_EXPORT int32_t IO_CALL ProgrammerVersion(void) {
    return IO_PROGRAMMER_VERSION;
}

IO_EXPORT int32_t IO_CALL ProgrammerOpen(void) {
    return result(programmer.open());
}

IO_EXPORT int32_t IO_CALL ProgrammerEnable(uint8_t* echo) {
    uint8_t answer = 0;
    const bool done = programmer.enable(answer);
    *echo = answer;
    return result(done);
}

IO_EXPORT int32_t IO_CALL ProgrammerRelease(void) {
    return result(programmer.release());
}

IO_EXPORT int32_t IO_CALL ProgrammerInstruction(const uint8_t* instruction, uint8_t* answer) {
    std::array<uint8_t, 4> out{};
    std::array<uint8_t, 4> in{};
    const std::span<const uint8_t, 4> given(instruction, 4);
    std::copy(given.begin(), given.end(), out.begin());
    const bool done = programmer.instruction(out, in);
    std::copy(in.begin(), in.end(), std::span<uint8_t, 4>(answer, 4).begin());
    return result(done);
}

IO_EXPORT const char* IO_CALL ProgrammerError(void) {
    return programmer.error().c_str();
}

} // extern "C"
