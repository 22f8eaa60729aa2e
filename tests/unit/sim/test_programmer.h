// SPDX-License-Identifier: MIT
// A tiny bit-banging programmer for the simulator's tests, written from the adapter's wiring
// and the data sheet rather than from quillon's own link code, so that the simulator is checked
// against the hardware's rules and not against the program it serves. Its faults can be switched
// on to check that the simulated target notices them.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

#include "sim/board.h"
#include "sim/clock.h"

namespace quillon::sim::testing {

using namespace std::chrono_literals;

struct DriverFaults {
    bool lsbFirst = false;        // bits go out least significant first
    bool mosiAfterRise = false;   // MOSI changes after SCK has risen
    bool sampleAfterFall = false; // MISO is read after SCK has fallen again
};

class TestProgrammer {
  public:
    // `clock` is the board's: the programmer's waits move it on.
    TestProgrammer(Board& board, VirtualClock& clock) : board_(board), clock_(clock) {}

    void line(uint8_t bit, bool high);
    [[nodiscard]] bool miso() { return board_.getPortBit(statusPort, 6) != 0; }
    void clockPulse(); // one SCK pulse, MOSI as it is
    void wait(std::chrono::microseconds time) { clock_.advance(time); }

    // Drivers on, SCK low, RESET low, a positive RESET pulse, then `settle`.
    void enterProgrammingMode(std::chrono::microseconds settle = 25ms);
    // Reset lines high, then the buffer off.
    void release();

    uint8_t transfer(uint8_t out);
    std::array<uint8_t, 4> instruction(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4);
    // Programming Enable; returns the byte received during byte 3.
    uint8_t programmingEnable() { return instruction(0xAC, 0x53, 0x00, 0x00)[2]; }
    // A reading instruction; returns byte 4's answer.
    uint8_t read(uint8_t b1, uint8_t b2, uint8_t b3) { return instruction(b1, b2, b3, 0)[3]; }
    // Polls RDY/BSY every 50 us until ready; returns how long that took, or a negative time
    // after 2 s.
    std::chrono::microseconds waitReady();

    // Enters programming mode and enables programming; false when the target didn't echo.
    bool connect();

    // Loads one flash page (bytes in byte-address order) and writes it at byte address `at`.
    void writeFlashPage(uint32_t at, const std::vector<uint8_t>& bytes, uint32_t pageBytes);
    [[nodiscard]] uint8_t readFlashByte(uint32_t byteAddress);

    DriverFaults faults;

  private:
    Board& board_;
    VirtualClock& clock_;
};

} // namespace quillon::sim::testing
