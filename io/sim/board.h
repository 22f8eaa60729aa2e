// SPDX-License-Identifier: MIT
// A simulated programming adapter with an ATmega on it: what the io library stands for when no
// hardware is there. This is the in-process API; the shared library (build/sim/libio.so) makes
// one Board from the environment when it is loaded and forwards its entry points to it, and
// tests/support/simulated_port.h plugs one into the programmer's port-library slots.
//
//     quillon::sim::Config config;
//     config.device = "ATmega644";
//     config.keepTrace = true;
//     quillon::sim::VirtualClock clock;         // or SteadyClock for real time
//     quillon::sim::Board board(config, clock);
//     board.setPortBit(888, 4);                 // drive the adapter's lines ...
//     clock.advance(std::chrono::milliseconds(20));
//     board.chip().flash[0];                    // ... and look at the chip
//
// A Board is driven from one thread, as a port is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/port_bits.h"
#include "sim/adapter.h"
#include "sim/chip.h"
#include "sim/clock.h"
#include "sim/config.h"
#include "sim/parts.h"
#include "sim/simulated_target.h"
#include "sim/trace.h"

namespace quillon::sim {

// The adapter's ports (io.h), also by these names.
using quillon::dataPort;
using quillon::statusPort;

class Board {
  public:
    // Sets the board up. Anything in the configuration it can't use (an unknown device, an
    // unusable state folder, a stuck address outside the flash, a trace file it can't write) is
    // listed in problems() and replaced by something safe: an ATmega16, a chip in memory only,
    // no such fault, no trace. The board takes its time from `clock`, which must outlive it.
    Board(const Config& config, const Clock& clock);
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;
    ~Board() = default;

    [[nodiscard]] const Problems& problems() const { return problems_; }

    // The simulated port, for the io entry points (common/entry_points.h). Port 888 is the data
    // port and 889 the status port (read only); any other port reads 0xFF and ignores writes.
    [[nodiscard]] uint8_t in(uint16_t port);
    void out(uint16_t port, uint8_t value);
    // Single bits, as SetPortBit, ClrPortBit and GetPortBit see them.
    void setPortBit(uint16_t port, uint8_t bit) { io::writeBit(*this, port, bit, true); }
    void clrPortBit(uint16_t port, uint8_t bit) { io::writeBit(*this, port, bit, false); }
    [[nodiscard]] int16_t getPortBit(uint16_t port, uint8_t bit) {
        return io::readBit(*this, port, bit);
    }

    // The rate a programmer's own SCK runs at from now on (IspWire::setSckRate), which the part
    // follows only when its CPU clock allows; 0, as at the start, for SCK moved one port call at
    // a time, whose timing the part doesn't judge.
    void sckRate(uint32_t hz) { target_->sckRate(hz); }

    // The part on the board and its contents. Changing the chip directly bypasses the part's
    // rules, its busy time and the state files: it is meant for setting a chip up in tests.
    [[nodiscard]] const Part& part() const { return target_->part(); }
    [[nodiscard]] Chip& chip() { return target_->chip(); }
    [[nodiscard]] const Chip& chip() const { return target_->chip(); }
    [[nodiscard]] bool busy() const { return target_->busy(); }
    // True while RESET is low and Programming Enable was accepted since the last reset.
    [[nodiscard]] bool programmingEnabled() const {
        return target_->enabled() && !adapter_.resetHigh();
    }
    // The trace lines, when Config::keepTrace was set.
    [[nodiscard]] const std::vector<std::string>& traceLines() const { return trace_.lines(); }

  private:
    Problems problems_;
    Trace trace_;
    std::unique_ptr<SimulatedTarget> target_;
    Adapter adapter_;
};

} // namespace quillon::sim
