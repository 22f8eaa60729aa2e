// SPDX-License-Identifier: MIT
// The io library's thirteen entry points over one simulated board. The board is made from the
// QUILLON_SIM_* variables when the library is loaded; whatever it can't use is reported on
// standard error, one line each naming its variable, and replaced by something safe.
#include <cstdio>
#include <memory>

#include "io.h"
#include "sim/board.h"

namespace {

using quillon::sim::Board;

// The program's waits are real ones: the part's times pass on the steady clock.
const quillon::sim::SteadyClock realTime;

std::unique_ptr<Board> loadBoard() {
    quillon::sim::Problems problems;
    const quillon::sim::Config config = quillon::sim::configFromEnvironment(problems);
    auto board = std::make_unique<Board>(config, realTime);
    problems.insert(problems.end(), board->problems().begin(), board->problems().end());
    for (const quillon::sim::Problem& problem : problems) {
        std::fprintf(stderr, "quillon-sim: %s: %s\n", quillon::sim::variableOf(problem.setting),
                     problem.text.c_str());
    }
    return board;
}

// Made while the library is loaded, before any entry point can be called.
const std::unique_ptr<Board> board = loadBoard();

} // namespace

extern "C" {

IO_EXPORT void IO_CALL PortOut(uint16_t port, uint8_t value) {
    board->portOut(port, value);
}
IO_EXPORT void IO_CALL PortWordOut(uint16_t port, uint16_t value) {
    board->portWordOut(port, value);
}
IO_EXPORT void IO_CALL PortDWordOut(uint16_t port, uint32_t value) {
    board->portDWordOut(port, value);
}
IO_EXPORT uint8_t IO_CALL PortIn(uint16_t port) {
    return board->portIn(port);
}
IO_EXPORT uint16_t IO_CALL PortWordIn(uint16_t port) {
    return board->portWordIn(port);
}
IO_EXPORT uint32_t IO_CALL PortDWordIn(uint16_t port) {
    return board->portDWordIn(port);
}
IO_EXPORT void IO_CALL SetPortBit(uint16_t port, uint8_t bit) {
    board->setPortBit(port, bit);
}
IO_EXPORT void IO_CALL ClrPortBit(uint16_t port, uint8_t bit) {
    board->clrPortBit(port, bit);
}
IO_EXPORT void IO_CALL NotPortBit(uint16_t port, uint8_t bit) {
    board->notPortBit(port, bit);
}
IO_EXPORT int16_t IO_CALL GetPortBit(uint16_t port, uint8_t bit) {
    return board->getPortBit(port, bit);
}
IO_EXPORT int16_t IO_CALL RightPortShift(uint16_t port, int16_t fill) {
    return board->rightPortShift(port, fill);
}
IO_EXPORT int16_t IO_CALL LeftPortShift(uint16_t port, int16_t fill) {
    return board->leftPortShift(port, fill);
}
IO_EXPORT int16_t IO_CALL IsDriverInstalled(void) {
    return board->isDriverInstalled();
}

} // extern "C"
