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

void Board::portOut(uint16_t port, uint8_t value) {
    if (port == dataPort) {
        adapter_.writeData(value);
    }
}

void Board::portWordOut(uint16_t port, uint16_t value) {
    portOut(port, static_cast<uint8_t>(value));
    portOut(static_cast<uint16_t>(port + 1), static_cast<uint8_t>(value >> 8));
}

void Board::portDWordOut(uint16_t port, uint32_t value) {
    portWordOut(port, static_cast<uint16_t>(value));
    portWordOut(static_cast<uint16_t>(port + 2), static_cast<uint16_t>(value >> 16));
}

uint8_t Board::portIn(uint16_t port) {
    if (port == dataPort) {
        return adapter_.data();
    }
    if (port == statusPort) {
        return adapter_.status();
    }
    return 0xFF;
}

uint16_t Board::portWordIn(uint16_t port) {
    const uint8_t low = portIn(port);
    return static_cast<uint16_t>(low | portIn(static_cast<uint16_t>(port + 1)) << 8);
}

uint32_t Board::portDWordIn(uint16_t port) {
    const uint16_t low = portWordIn(port);
    return low | uint32_t{portWordIn(static_cast<uint16_t>(port + 2))} << 16;
}

void Board::setPortBit(uint16_t port, uint8_t bit) {
    if (bit < 8) {
        portOut(port, static_cast<uint8_t>(portIn(port) | 1U << bit));
    }
}

void Board::clrPortBit(uint16_t port, uint8_t bit) {
    if (bit < 8) {
        portOut(port, static_cast<uint8_t>(portIn(port) & ~(1U << bit)));
    }
}

void Board::notPortBit(uint16_t port, uint8_t bit) {
    if (bit < 8) {
        portOut(port, static_cast<uint8_t>(portIn(port) ^ 1U << bit));
    }
}

int16_t Board::getPortBit(uint16_t port, uint8_t bit) {
    return bit < 8 && (portIn(port) >> bit & 1U) != 0 ? int16_t{-1} : int16_t{0};
}

int16_t Board::rightPortShift(uint16_t port, int16_t fill) {
    const uint8_t value = portIn(port);
    portOut(port, static_cast<uint8_t>(value >> 1 | (fill != 0 ? 0x80U : 0U)));
    return (value & 0x01U) != 0 ? int16_t{-1} : int16_t{0};
}

int16_t Board::leftPortShift(uint16_t port, int16_t fill) {
    const uint8_t value = portIn(port);
    portOut(port, static_cast<uint8_t>(value << 1 | (fill != 0 ? 0x01U : 0U)));
    return (value & 0x80U) != 0 ? int16_t{-1} : int16_t{0};
}

} // namespace quillon::sim
