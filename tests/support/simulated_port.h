// SPDX-License-Identifier: MIT
// Plugs a simulated adapter and ATmega (io/sim) into the programmer's port-library slots for
// in-process tests: while a SimulatedPort lives, the three entry points the programmer calls
// (SetPortBit, ClrPortBit, GetPortBit; src/link/link.h) reach its board, as the shared library
// sim/libio.so would. The board runs on a virtual clock that only the program's waits
// (delayMicros) move on, so nothing really waits and every wait the data sheet asks for is
// still needed: an instruction that comes too soon is ignored. With config.level set to
// sim::Level::instruction the board's own programmer (sim/instruction_programmer.h) fills the
// programmer extension's slots instead, as sim/libio.so does with QUILLON_SIM_LEVEL=instruction.
// Link the test with quillon_sim and quillon_core and add simulated_port.cpp to its sources.
//
//     quillon::sim::Config config;
//     config.device = "ATmega48";
//     quillon::testing::SimulatedPort port(config);
//     (void)quillon::enterProgrammingMode();       // the programmer's own code ...
//     port.board().chip().lowFuse;                 // ... against the simulated chip
#pragma once

#include <memory>

#include "link/link.h"
#include "sim/board.h"
#include "sim/clock.h"
#include "sim/instruction_programmer.h"

namespace quillon::testing {

class SimulatedPort {
  public:
    explicit SimulatedPort(const sim::Config& config = {});
    ~SimulatedPort();
    SimulatedPort(const SimulatedPort&) = delete;
    SimulatedPort& operator=(const SimulatedPort&) = delete;

    [[nodiscard]] sim::Board& board() { return board_; }
    [[nodiscard]] sim::VirtualClock& clock() { return clock_; }

  private:
    sim::VirtualClock clock_;
    sim::Board board_;
    std::unique_ptr<sim::InstructionProgrammer> own_; // on the instruction level
    WaitFunction previousWait_;
};

} // namespace quillon::testing
