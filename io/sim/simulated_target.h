// SPDX-License-Identifier: MIT
// A simulated ATmega as the adapter finds it: its pins reach the serial shift register, which
// feeds the instruction set over the chip's memories, all inside the fault plan.
#pragma once

#include <memory>

#include "sim/chip.h"
#include "sim/clock.h"
#include "sim/config.h"
#include "sim/fault_plan.h"
#include "sim/instruction_set.h"
#include "sim/parts.h"
#include "sim/serial_shifter.h"
#include "sim/state_files.h"
#include "sim/target.h"
#include "sim/trace.h"

namespace quillon::sim {

class SimulatedTarget final : public Target {
  public:
    // A part that was powered up with RESET at `resetHigh` (SCK low), on `clock`'s time, with
    // `faults`. `files` may be null.
    SimulatedTarget(Part part, Chip chip, const Faults& faults, const Clock& clock, Trace& trace,
                    std::unique_ptr<StateFiles> files, bool resetHigh);

    void resetChanged(bool high, bool sckHigh) override { plan_.resetChanged(high, sckHigh); }
    void sckRising(bool mosi) override { plan_.sckRising(mosi); }
    void sckFalling() override { plan_.sckFalling(); }
    void sckRate(uint32_t hz) override { plan_.sckRate(hz); }
    [[nodiscard]] bool miso() override { return plan_.miso(); }

    [[nodiscard]] const Part& part() const { return instructions_.part(); }
    [[nodiscard]] Chip& chip() { return instructions_.chip(); }
    [[nodiscard]] const Chip& chip() const { return instructions_.chip(); }
    [[nodiscard]] bool busy() const { return instructions_.busy(); }
    [[nodiscard]] bool enabled() const { return instructions_.enabled(); }

  private:
    FaultPlan plan_;
    InstructionSet instructions_;
    SerialShifter shifter_;
};

} // namespace quillon::sim
