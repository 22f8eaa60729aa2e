// SPDX-License-Identifier: MIT
#include "sim/simulated_target.h"

namespace quillon::sim {

SimulatedTarget::SimulatedTarget(Part part, Chip chip, const Faults& faults, const Clock& clock,
                                 Trace& trace, std::unique_ptr<StateFiles> files, bool resetHigh)
    : plan_(faults),
      instructions_(std::move(part), std::move(chip), clock, trace, std::move(files), plan_),
      shifter_(clock, resetHigh, plan_, instructions_.chip().clockHz) {
    plan_.wrap(shifter_, instructions_);
}

} // namespace quillon::sim
