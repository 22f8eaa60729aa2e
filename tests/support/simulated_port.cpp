// SPDX-License-Identifier: MIT
#include "simulated_port.h"

#include <algorithm>
#include <chrono>

namespace quillon::testing {

namespace {

sim::Board* active = nullptr; // the board of the SimulatedPort that lives
sim::VirtualClock* activeClock = nullptr;

void advanceClock(int32_t micros) {
    activeClock->advance(std::chrono::microseconds(std::max(micros, 0)));
}

} // namespace

// The tests run on Linux only, where IO_CALL is the default calling convention of a lambda.
SimulatedPort::SimulatedPort(const sim::Config& config)
    : board_(config, clock_), previousWait_(setWaitFunction(advanceClock)) {
    active = &board_;
    activeClock = &clock_;
    PortLibrary = PortLibraryEntries{};
    PortLibrary.SetPortBit = [](uint16_t port, uint8_t bit) { active->setPortBit(port, bit); };
    PortLibrary.ClrPortBit = [](uint16_t port, uint8_t bit) { active->clrPortBit(port, bit); };
    PortLibrary.GetPortBit = [](uint16_t port, uint8_t bit) {
        return active->getPortBit(port, bit);
    };
}

SimulatedPort::~SimulatedPort() {
    PortLibrary = PortLibraryEntries{};
    active = nullptr;
    activeClock = nullptr;
    setWaitFunction(previousWait_);
}

} // namespace quillon::testing
