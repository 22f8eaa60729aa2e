// SPDX-License-Identifier: MIT
// The io library's entry points over one simulated board: the thirteen port entry points
// (common/entry_points.h), and the programmer extension's at the instruction level
// (QUILLON_SIM_LEVEL=instruction). The board is made from the QUILLON_SIM_* variables when the
// library is loaded; whatever it can't use is reported on standard error, one line each naming its
// variable, and replaced by something safe.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <span>
#include <thread>

#include "io.h"
#include "sim/board.h"
#include "sim/instruction_programmer.h"

namespace {

using quillon::sim::Board;
using quillon::sim::InstructionProgrammer;

// The program's waits are real ones: the part's times pass on the steady clock.
const quillon::sim::SteadyClock realTime;

// Made with the board; null on the bit level.
std::unique_ptr<InstructionProgrammer> ownProgrammer;
// How long its firmware has waited after its writes (for the benchmark).
std::chrono::steady_clock::duration firmwareWaits{};

std::unique_ptr<Board> loadBoard() {
    quillon::sim::Problems problems;
    const quillon::sim::Config config = quillon::sim::configFromEnvironment(problems);
    auto board = std::make_unique<Board>(config, realTime);
    if (config.level == quillon::sim::Level::instruction) {
        ownProgrammer = std::make_unique<InstructionProgrammer>(
            *board,
            [](std::chrono::microseconds time) {
                const auto start = std::chrono::steady_clock::now();
                std::this_thread::sleep_for(time);
                firmwareWaits += std::chrono::steady_clock::now() - start;
            },
            config.faults);
    }
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

namespace quillon::io {

sim::Board& backend() {
    return *board;
}

bool reachable() {
    return true;
}

} // namespace quillon::io

#include "common/entry_points.h"

extern "C" {

// On the bit level the version is 0, so the program drives the port entry points instead, and
// none of the others below is called.
IO_EXPORT int32_t IO_CALL ProgrammerVersion(void) {
    return ownProgrammer ? IO_PROGRAMMER_VERSION : 0;
}
IO_EXPORT int32_t IO_CALL ProgrammerOpen(void) {
    return ownProgrammer ? ownProgrammer->open() : IO_FAILED;
}
IO_EXPORT int32_t IO_CALL ProgrammerEnable(uint8_t* echo) {
    return ownProgrammer ? ownProgrammer->enable(*echo) : IO_FAILED;
}
IO_EXPORT int32_t IO_CALL ProgrammerRelease(void) {
    return ownProgrammer ? ownProgrammer->release() : IO_FAILED;
}
IO_EXPORT int32_t IO_CALL ProgrammerInstruction(const uint8_t* instruction, uint8_t* answer) {
    if (!ownProgrammer) {
        return IO_FAILED;
    }
    std::array<uint8_t, 4> in{instruction[0], instruction[1], instruction[2], instruction[3]};
    std::array<uint8_t, 4> out{};
    const int32_t result = ownProgrammer->instruction(in, out);
    std::copy(out.begin(), out.end(), answer);
    return result;
}
IO_EXPORT int32_t IO_CALL ProgrammerWriteFlash(uint32_t address, const uint8_t* data,
                                               uint32_t length, uint32_t pageBytes,
                                               IoProgress progress, void* context) {
    return ownProgrammer ? ownProgrammer->writeFlash(address, std::span(data, length), pageBytes,
                                                     progress, context)
                         : IO_FAILED;
}
IO_EXPORT int32_t IO_CALL ProgrammerReadMemory(int32_t memory, uint32_t address, uint8_t* data,
                                               uint32_t length, IoProgress progress,
                                               void* context) {
    return ownProgrammer ? ownProgrammer->readMemory(memory, address, std::span(data, length),
                                                     progress, context)
                         : IO_FAILED;
}
IO_EXPORT int32_t IO_CALL ProgrammerWriteEeprom(uint32_t address, const uint8_t* data,
                                                uint32_t length, IoProgress progress,
                                                void* context) {
    return ownProgrammer
               ? ownProgrammer->writeEeprom(address, std::span(data, length), progress, context)
               : IO_FAILED;
}
// Not part of io.h: the benchmark's way to tell the firmware's waits from the programmer's own
// work on the instruction level.
IO_EXPORT int64_t IO_CALL SimulatedFirmwareWaitNanos(void) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(firmwareWaits).count();
}

IO_EXPORT const char* IO_CALL ProgrammerError(void) {
    return ownProgrammer ? ownProgrammer->error() : "the simulated board is on the bit level";
}

} // extern "C"
