// SPDX-License-Identifier: MIT
// How a simulated board is set up: which part sits on it, where its memories live between runs,
// which faults to inject and where to trace. The shared library reads it from the environment
// (QUILLON_SIM_DEVICE, QUILLON_SIM_STATE, QUILLON_SIM_FAULTS, QUILLON_SIM_TRACE,
// QUILLON_SIM_LEVEL, QUILLON_SIM_CLOCK); tests fill it in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::sim {

struct Faults {
    bool noAdapter = false; // the adapter isn't plugged in: no loop-back, no target
    bool noTarget = false;  // the adapter is there but nothing answers: MISO reads 1
    bool slow = false;      // every write and erase takes ten times the data sheet's time
    std::vector<uint32_t> stuckFlashBytes; // flash byte addresses that never change
    bool misoLow = false;                  // MISO is shorted to ground: it always reads 0
    uint32_t muteAfter = 0;                // nonzero: the part hangs after this many instructions
    uint32_t dropPage = 0;  // nonzero: this flash page write (1 for the first) is lost
    uint32_t powerLoss = 0; // nonzero: the supply fails during this instruction (1 for the
                            // first) and returns at the next RESET pulse
    // The programmer of the instruction level (Level::instruction):
    bool skipWaits = false;   // its firmware doesn't wait after its own writes
    uint32_t failingCall = 0; // nonzero: this call into it (1 for the first) and every later
                              // one fails, as when a programmer is unplugged
};

// How the simulated io library is driven: bit by bit through the port entry points, or through
// the programmer extension, whole instructions and blocks, by a programmer of its own.
enum class Level { bit, instruction };

struct Config {
    std::string device = "ATmega16"; // a part name or six hex digits of a signature
    std::string stateDir;            // empty: the chip lives only as long as the board
    Faults faults;
    std::string traceFile;  // empty: no trace file
    bool keepTrace = false; // also keep the trace lines in memory (Board::traceLines)
    Level level = Level::bit;
    uint32_t clockHz = 1000000; // the part's CPU clock, as delivered: 8 MHz RC divided by 8
};

// The setting of a Config a problem concerns; the io library names it by its variable.
enum class Setting { device, stateDir, faults, traceFile, level, clock };

// A problem found while setting a board up: what was wrong and what the simulator does instead,
// one line.
struct Problem {
    Setting setting;
    std::string text;
};
using Problems = std::vector<Problem>;

// Parses a comma list such as "no-target,stuck=0x100,slow". Unknown names and bad addresses are
// reported and left out.
[[nodiscard]] Faults parseFaults(std::string_view list, Problems& problems);

// The part's CPU clock in Hz from 1000 to 32000000 ("8000000"); nothing, and a problem, for
// any other text.
[[nodiscard]] std::optional<uint32_t> parseClock(std::string_view text, Problems& problems);

// The configuration the QUILLON_SIM_* variables give; unset variables keep the defaults above.
[[nodiscard]] Config configFromEnvironment(Problems& problems);

// The variable that gives a setting: "QUILLON_SIM_DEVICE" for Setting::device.
[[nodiscard]] const char* variableOf(Setting setting);

} // namespace quillon::sim
