// SPDX-License-Identifier: MIT
// The board: a part chosen by the configuration, its state folder, and the port entry points.
#include "sim/board.h"

#include <algorithm>

namespace quillon::sim {

namespace {

Part chosenPart(const Config& config, Problems& problems) {
    if (auto part = findPart(config.device)) {
        return *part;
    }
    std::string names;
    for (const Part& part : knownParts()) {
        names += (names.empty() ? "" : ", ") + part.name;
    }
    problems.push_back({Setting::device, "unknown device '" + config.device + "' (give one of " +
                                             names +
                                             ", or six hex digits of a signature such as "
                                             "1e9407); simulating an ATmega16"});
    return knownParts()[0];
}

std::unique_ptr<SimulatedTarget> makeTarget(const Config& config, const Clock& clock, Trace& trace,
                                            Problems& problems) {
    Part part = chosenPart(config, problems);
    Chip chip = Chip::fresh(part);
    std::unique_ptr<StateFiles> files;
    if (!config.stateDir.empty()) {
        files = StateFiles::open(config.stateDir, part, chip, problems);
    }
    for (const uint32_t address : config.faults.stuckFlashBytes) {
        if (address >= part.flashBytes) {
            problems.push_back(
                {Setting::faults, "stuck=" + std::to_string(address) + " is outside the " +
                                      std::to_string(part.flashBytes) + " flash bytes of the " +
                                      part.name + "; ignoring it"});
        }
    }
    chip.clockHz = config.clockHz;
    const bool resetHigh = Adapter::resetHigh(!config.faults.noAdapter, 0);
    return std::make_unique<SimulatedTarget>(std::move(part), std::move(chip), config.faults, clock,
                                             trace, std::move(files), resetHigh);
}

} // namespace

Board::Board(const Config& config, const Clock& clock)
    : trace_(clock, config.traceFile, config.keepTrace, problems_),
      target_(makeTarget(config, clock, trace_, problems_)),
      adapter_(!config.faults.noAdapter, config.faults.noTarget ? nullptr : target_.get(), trace_) {
}

void Board::out(uint16_t port, uint8_t value) {
    if (port == dataPort) {
        adapter_.writeData(value);
    }
}

uint8_t Board::in(uint16_t port) {
    if (port == dataPort) {
        return adapter_.data();
    }
    if (port == statusPort) {
        return adapter_.status();
    }
    return 0xFF;
}

} // namespace quillon::sim
