// SPDX-License-Identifier: MIT
#include "simulated_port.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <span>

namespace quillon::testing {

namespace {

sim::Board* active = nullptr; // the board of the SimulatedPort that lives
sim::VirtualClock* activeClock = nullptr;
sim::InstructionProgrammer* activeOwn = nullptr;

void advanceClock(int32_t micros) {
    activeClock->advance(std::chrono::microseconds(std::max(micros, 0)));
}

// The extension's slots, forwarding to the active board's own programmer.
void plugInstructionLevel() {
    ProgrammerLibraryEntries& e = ProgrammerLibrary;
    e.Version = [] { return int32_t{IO_PROGRAMMER_VERSION}; };
    e.Open = [] { return activeOwn->open(); };
    e.Enable = [](uint8_t* echo) { return activeOwn->enable(*echo); };
    e.Release = [] { return activeOwn->release(); };
    e.Instruction = [](const uint8_t* in, uint8_t* out) {
        std::array<uint8_t, 4> answer{};
        const int32_t result = activeOwn->instruction({in[0], in[1], in[2], in[3]}, answer);
        std::copy(answer.begin(), answer.end(), out);
        return result;
    };
    e.Error = [] { return activeOwn->error(); };
    e.WriteFlash = [](uint32_t address, const uint8_t* data, uint32_t length, uint32_t page,
                      IoProgress progress, void* context) {
        return activeOwn->writeFlash(address, std::span(data, length), page, progress, context);
    };
    e.ReadMemory = [](int32_t memory, uint32_t address, uint8_t* data, uint32_t length,
                      IoProgress progress, void* context) {
        return activeOwn->readMemory(memory, address, std::span(data, length), progress, context);
    };
    e.WriteEeprom = [](uint32_t address, const uint8_t* data, uint32_t length, IoProgress progress,
                       void* context) {
        return activeOwn->writeEeprom(address, std::span(data, length), progress, context);
    };
    acceptProgrammerLibrary();
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
    ProgrammerLibrary = ProgrammerLibraryEntries{};
    if (config.level == sim::Level::instruction) {
        own_ = std::make_unique<sim::InstructionProgrammer>(
            board_, [](std::chrono::microseconds time) { activeClock->advance(time); },
            config.faults);
        activeOwn = own_.get();
        plugInstructionLevel();
    }
}

SimulatedPort::~SimulatedPort() {
    PortLibrary = PortLibraryEntries{};
    ProgrammerLibrary = ProgrammerLibraryEntries{};
    activeOwn = nullptr;
    active = nullptr;
    activeClock = nullptr;
    setWaitFunction(previousWait_);
}

} // namespace quillon::testing
