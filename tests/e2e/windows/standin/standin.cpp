// SPDX-License-Identifier: MIT
// A stand-in for InpOut32's DLL for the tests under Wine: Inp32, Out32 and IsInpOutDriverOpen
// over the simulated board, so that the InpOut io.dll drives the simulated ATmega. The board is
// made from the QUILLON_SIM_* variables when the DLL is loaded; QUILLON_STANDIN_DRIVER=closed
// makes it answer that the driver is not open, and QUILLON_STANDIN_GAPS=FILE has it keep the
// shortest time between two writes in FILE (in microseconds), for checking the hold time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "sim/board.h"
#include "sim/clock.h"

namespace {

const quillon::sim::SteadyClock realTime;

std::unique_ptr<quillon::sim::Board> loadBoard() {
    quillon::sim::Problems problems;
    const quillon::sim::Config config = quillon::sim::configFromEnvironment(problems);
    auto board = std::make_unique<quillon::sim::Board>(config, realTime);
    for (const quillon::sim::Problem& problem : problems) {
        std::fprintf(stderr, "stand-in: %s: %s\n", quillon::sim::variableOf(problem.setting),
                     problem.text.c_str());
    }
    return board;
}

const std::unique_ptr<quillon::sim::Board> board = loadBoard();

int64_t microseconds() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER now{};
    (void)QueryPerformanceFrequency(&frequency);
    (void)QueryPerformanceCounter(&now);
    return now.QuadPart / frequency.QuadPart * 1000000 +
           now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

// Rewritten whenever a shorter gap is seen, so that it holds the shortest when the program ends.
void noteWrite() {
    static const char* const gapsFile = std::getenv("QUILLON_STANDIN_GAPS");
    static int64_t lastWrite = -1;
    static int64_t shortest = -1;
    if (gapsFile == nullptr) {
        return;
    }
    const int64_t now = microseconds();
    const int64_t gap = now - lastWrite;
    if (lastWrite >= 0 && (shortest < 0 || gap < shortest)) {
        shortest = gap;
        if (std::FILE* file = std::fopen(gapsFile, "w"); file != nullptr) {
            std::fprintf(file, "%lld\n", static_cast<long long>(shortest));
            (void)std::fclose(file);
        }
    }
    lastWrite = now;
}

} // namespace

extern "C" {

__declspec(dllexport) short __stdcall Inp32(short port) {
    return static_cast<short>(board->portIn(static_cast<uint16_t>(port)));
}

__declspec(dllexport) void __stdcall Out32(short port, short data) {
    noteWrite();
    board->portOut(static_cast<uint16_t>(port), static_cast<uint8_t>(data));
}

__declspec(dllexport) BOOL __stdcall IsInpOutDriverOpen() {
    const char* driver = std::getenv("QUILLON_STANDIN_DRIVER");
    return driver != nullptr && std::string_view(driver) == "closed" ? FALSE : TRUE;
}

} // extern "C"
