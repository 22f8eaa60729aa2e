// SPDX-License-Identifier: MIT
// The simulated io library's instruction level (QUILLON_SIM_LEVEL=instruction): a programmer with
// firmware of its own between the program and the board, as a USB programmer would be. It takes
// the programmer extension's calls (io.h) whole, clocks them to the part through the ISP wire,
// and waits after its own page and EEPROM writes. What reaches the part, and the trace, are what
// the bit-level adapter would give it, without the port's bit-level events.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "io.h"
#include "sim/config.h"
#include "sim/isp_wire.h"

namespace quillon::sim {

class InstructionProgrammer {
  public:
    // `faults`: no-adapter (no programmer to open), skip-waits, programmer-fail=N.
    InstructionProgrammer(Board& board, IspWire::Wait wait, Faults faults);

    // The extension's entry points; each answers an IoResult.
    [[nodiscard]] int32_t open();
    [[nodiscard]] int32_t enable(uint8_t& echo);
    [[nodiscard]] int32_t release();
    [[nodiscard]] int32_t instruction(const std::array<uint8_t, 4>& bytes,
                                      std::array<uint8_t, 4>& answer);
    [[nodiscard]] int32_t writeFlash(uint32_t address, std::span<const uint8_t> data,
                                     uint32_t pageBytes, IoProgress progress, void* context);
    [[nodiscard]] int32_t readMemory(int32_t memory, uint32_t address, std::span<uint8_t> data,
                                     IoProgress progress, void* context);
    [[nodiscard]] int32_t writeEeprom(uint32_t address, std::span<const uint8_t> data,
                                      IoProgress progress, void* context);
    [[nodiscard]] const char* error() const { return error_.c_str(); }

  private:
    // False (with the reason set) when this call is one the fault plan fails.
    [[nodiscard]] bool callGoesThrough();
    [[nodiscard]] int32_t fail(std::string reason);
    void send(const std::array<uint8_t, 4>& bytes) { (void)wire_.instruction(bytes); }
    // Sends Load Extended Address when `word` lies in another 64K-word block than the last sent.
    void extendTo(uint32_t word);
    void waitAfterWrite(std::chrono::microseconds time);

    IspWire wire_;
    Faults faults_;
    uint32_t calls_ = 0;
    bool opened_ = false;
    int32_t extended_ = -1; // the extended address last sent, -1 for none
    std::string error_;
};

} // namespace quillon::sim
