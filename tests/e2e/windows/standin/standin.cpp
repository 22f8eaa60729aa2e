// SPDX-License-Identifier: MIT
// A stand-in for InpOut32's DLL for the tests under Wine: Inp32, Out32 and IsInpOutDriverOpen
// over the simulated board, so that the InpOut io.dll drives the simulated ATmega. The board is
// made from the QUILLON_SIM_* variables when the DLL is loaded; QUILLON_STANDIN_DRIVER=closed
// makes it answer that the driver is not open.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "sim/board.h"

namespace {

std::unique_ptr<quillon::sim::Board> loadBoard() {
    quillon::sim::Problems problems;
    const quillon::sim::Config config = quillon::sim::configFromEnvironment(problems);
    auto board = std::make_unique<quillon::sim::Board>(config);
    for (const std::string& problem : problems) {
        std::fprintf(stderr, "stand-in: %s\n", problem.c_str());
    }
    return board;
}

const std::unique_ptr<quillon::sim::Board> board = loadBoard();

} // namespace

extern "C" {

__declspec(dllexport) short __stdcall Inp32(short port) {
    return static_cast<short>(board->portIn(static_cast<uint16_t>(port)));
}

__declspec(dllexport) void __stdcall Out32(short port, short data) {
    board->portOut(static_cast<uint16_t>(port), static_cast<uint8_t>(data));
}

__declspec(dllexport) BOOL __stdcall IsInpOutDriverOpen() {
    const char* driver = std::getenv("QUILLON_STANDIN_DRIVER");
    return driver != nullptr && std::string_view(driver) == "closed" ? FALSE : TRUE;
}

} // extern "C"
