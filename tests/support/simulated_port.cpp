// SPDX-License-Identifier: MIT
#include "simulated_port.h"

#include <chrono>
#include <stdexcept>

namespace quillon::testing {

namespace {

sim::Board* activeBoard = nullptr;
sim::VirtualClock* activeClock = nullptr;

void advanceClock(int32_t micros) {
    if (activeClock != nullptr && micros > 0) {
        activeClock->advance(std::chrono::microseconds(micros));
    }
}

sim::Board& board() {
    if (activeBoard == nullptr) {
        throw std::logic_error("no SimulatedPort installed");
    }
    return *activeBoard;
}

void IO_CALL portOut(uint16_t port, uint8_t value) {
    board().portOut(port, value);
}
void IO_CALL portWordOut(uint16_t port, uint16_t value) {
    board().portWordOut(port, value);
}
void IO_CALL portDWordOut(uint16_t port, uint32_t value) {
    board().portDWordOut(port, value);
}
uint8_t IO_CALL portIn(uint16_t port) {
    return board().portIn(port);
}
uint16_t IO_CALL portWordIn(uint16_t port) {
    return board().portWordIn(port);
}
uint32_t IO_CALL portDWordIn(uint16_t port) {
    return board().portDWordIn(port);
}
void IO_CALL setPortBit(uint16_t port, uint8_t bit) {
    board().setPortBit(port, bit);
}
void IO_CALL clrPortBit(uint16_t port, uint8_t bit) {
    board().clrPortBit(port, bit);
}
void IO_CALL notPortBit(uint16_t port, uint8_t bit) {
    board().notPortBit(port, bit);
}
int16_t IO_CALL getPortBit(uint16_t port, uint8_t bit) {
    return board().getPortBit(port, bit);
}
int16_t IO_CALL rightPortShift(uint16_t port, int16_t fill) {
    return board().rightPortShift(port, fill);
}
int16_t IO_CALL leftPortShift(uint16_t port, int16_t fill) {
    return board().leftPortShift(port, fill);
}
int16_t IO_CALL isDriverInstalled() {
    return board().isDriverInstalled();
}

} // namespace

SimulatedPort::SimulatedPort(const sim::Config& config)
    : board_(config, clock_), previousWait_(setWaitFunction(advanceClock)) {
    activeBoard = &board_;
    activeClock = &clock_;
    PortLibrary = PortLibraryEntries{};
    PortLibrary.PortOut = portOut;
    PortLibrary.PortWordOut = portWordOut;
    PortLibrary.PortDWordOut = portDWordOut;
    PortLibrary.PortIn = portIn;
    PortLibrary.PortWordIn = portWordIn;
    PortLibrary.PortDWordIn = portDWordIn;
    PortLibrary.SetPortBit = setPortBit;
    PortLibrary.ClrPortBit = clrPortBit;
    PortLibrary.NotPortBit = notPortBit;
    PortLibrary.GetPortBit = getPortBit;
    PortLibrary.RightPortShift = rightPortShift;
    PortLibrary.LeftPortShift = leftPortShift;
    PortLibrary.IsDriverInstalled = isDriverInstalled;
}

SimulatedPort::~SimulatedPort() {
    PortLibrary = PortLibraryEntries{};
    activeBoard = nullptr;
    activeClock = nullptr;
    setWaitFunction(previousWait_);
}

} // namespace quillon::testing
