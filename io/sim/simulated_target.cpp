// SPDX-License-Identifier: MIT
#include "sim/simulated_target.h"

namespace quillon::sim {

namespace {

// Two cycles of the part's clock; zero when it has none of its own.
Clock::Duration shortestSckLow(uint32_t clockHz) {
    return clockHz == 0 ? Clock::Duration{} : Clock::Duration{std::nano::den * 2 / clockHz};
}

} // namespace

SimulatedTarget::SimulatedTarget(Part part, Chip chip, const Faults& faults, const Clock& clock,
                                 Trace& trace, std::unique_ptr<StateFiles> files, bool resetHigh)
    : plan_(faults),
      instructions_(std::move(part), std::move(chip), clock, trace, std::move(files), plan_),
      shifter_(clock, resetHigh, plan_, shortestSckLow(faults.clockHz)) {
    plan_.wrap(shifter_, instructions_);
}

} // namespace quillon::sim
