// SPDX-License-Identifier: MIT
// A stand-in for InpOut32's DLL for the tests under Wine: Inp32, Out32 and IsInpOutDriverOpen
// over the simulated board made from the QUILLON_SIM_* variables when the DLL is loaded, so that
// the InpOut io.dll drives the simulated ATmega. QUILLON_STANDIN_DRIVER=closed has it answer
// that the driver is not open.
#include <windows.h>

#include <cstdlib>
#include <string_view>

#include "sim/board.h"

namespace {

const quillon::sim::SteadyClock realTime;
quillon::sim::Problems problems;
quillon::sim::Board board(quillon::sim::configFromEnvironment(problems), realTime);

} // namespace

extern "C" {

__declspec(dllexport) short __stdcall Inp32(short port) {
    return static_cast<short>(board.in(static_cast<uint16_t>(port)));
}

__declspec(dllexport) void __stdcall Out32(short port, short data) {
    board.out(static_cast<uint16_t>(port), static_cast<uint8_t>(data));
}

__declspec(dllexport) BOOL __stdcall IsInpOutDriverOpen() {
    const char* driver = std::getenv("QUILLON_STANDIN_DRIVER");
    return driver != nullptr && std::string_view(driver) == "closed" ? FALSE : TRUE;
}

} // extern "C"
