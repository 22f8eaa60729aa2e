// SPDX-License-Identifier: MIT
// The board's programming lines driven from inside the simulator, the way a programmer with
// firmware of its own drives its ISP pins: RESET, then bytes clocked out on MOSI while MISO is
// read. Whatever sits behind the lines (the part, its busy windows, the fault plan, the trace)
// sees exactly what it sees from the parallel-port adapter; only the host's port calls are gone.
//
// The stand-ins for real programmers (the simulated io library's instruction level, the
// emulated ArduinoISP, USBasp and spidev of the tests) all talk to the chip through this.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>

#include "sim/board.h"

namespace quillon::sim {

class IspWire {
  public:
    using Wait = std::function<void(std::chrono::microseconds)>;

    // `wait` passes time for the firmware: a real sleep on a SteadyClock board, an advance of
    // the VirtualClock in process. The board must outlive the wire.
    IspWire(Board& board, Wait wait);

    // Drivers on, SCK low, MOSI high, RESET low: the part leaves its program and listens.
    void holdReset();
    // RESET high for `width`, then low again, SCK staying low: the part starts its serial logic
    // afresh (the data sheets' way back into step).
    void pulseReset(std::chrono::microseconds width = std::chrono::microseconds{10});
    // RESET released and the drivers off: the part runs.
    void release();

    // SCK runs at `hz` from now on (the board's sckRate): a part whose CPU clock is too slow for
    // it loses step. 0, the start, judges no rate.
    void setSckRate(uint32_t hz) { board_.sckRate(hz); }

    // Clocks `out` to the part, most significant bit first, and answers the byte it shifted out
    // meanwhile (MISO sampled while SCK is high).
    [[nodiscard]] uint8_t transfer(uint8_t out);
    // One four-byte instruction; the four bytes shifted out.
    [[nodiscard]] std::array<uint8_t, 4> instruction(const std::array<uint8_t, 4>& bytes);

    // The firmware's own waits.
    void wait(std::chrono::microseconds time) const { wait_(time); }

  private:
    void set(uint8_t bit, bool high);

    Board& board_;
    Wait wait_;
};

} // namespace quillon::sim
