// SPDX-License-Identifier: MIT
// Table-driven end-to-end runs of the built program on the simulated chip (build/sim/libio.so).
// A case names the part, the arguments (and standard input, faults, files put in its folder
// first, the io library and its variables); its expected transcript is the text file
// expected/<name>.txt next to the test, in sections that each start with a line "--- what":
//   stdout             the whole standard output (the delay value as N, the case's folder as
//                      $DIR, tests/data/avr as $DATA)
//   stderr             the whole standard error, the same way (without this section standard
//                      error must be empty, unless it is a terminal)
//   status             the exit status
//   file NAME          the file NAME in the case's folder, or "(missing)"
//   records NAME       an Intel HEX file with each run of erased 16-byte records as one line
//   flash, eeprom      the chip's memory file: its size, then every 16-byte row not all ff
//   trace              the instructions the chip received: each kind (first byte, Load Extended
//                      Address whole, reset edges) with its count, in order of first appearance
//   last event         the trace's last event
// Every run must give the chip the time each write needs, as the trace's times show. A section
// whose text doesn't end in a line end is followed by a line "\ no newline". Setting
// QUILLON_UPDATE_EXPECTED=1 writes what the program gave into the files instead, which are then
// to be read through before they are committed.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "program_runner.h"

namespace quillon::testing {

inline std::string fileText(const std::filesystem::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

inline const std::string dataDir = QUILLON_SOURCE_DIR "/tests/data/avr";

// A small image whose records cross 64 KiB and 128 KiB through extended linear address records,
// for an ATmega2560.
inline const std::string sparse2560 =
    ":0400000001020304F2\n:08FFF800A0A1A2A3A4A5A6A7E5\n:020000040001F9\n"
    ":08FFF800B0B1B2B3B4B5B6B765\n:020000040002F8\n:08000000C0C1C2C3C4C5C6C7DC\n"
    ":010101005AA3\n:00000001FF\n";

// A memory file of size bytes that starts with bytes and is erased (0xFF) after them.
inline std::string erasedAfter(const std::string& bytes, std::size_t size) {
    return bytes + std::string(size - bytes.size(), '\xFF');
}

struct ChipCase {
    std::string name;
    std::string device;
    std::string args;                           // separated by spaces
    std::map<std::string, std::string> files{}; // name in the folder -> contents
    std::string faults{};
    std::optional<std::string> input{};
    std::chrono::milliseconds timeout{120000};
    int timeoutSignal = SIGKILL;
    bool terminal = false; // standard error on a terminal, and not checked to be empty
    std::string level{};   // QUILLON_SIM_LEVEL; "instruction": transcripts in expected/instruction
    Output output = Output::captured;
    std::vector<std::string> fifos{}; // FIFOs made in the folder, which nothing writes to
    // The io library's folder in the build, and more variables for it (the case's folder as $DIR).
    std::string library = "sim";
    std::map<std::string, std::string> env{};
    // The programmer's firmware times the waits after writes, not the program: its own timing
    // is the test's business.
    bool firmwareWaits = false;
};

// The cases again, driven through the simulated library's programmer extension.
inline std::vector<ChipCase> atInstructionLevel(std::vector<ChipCase> cases) {
    for (ChipCase& c : cases) {
        c.level = "instruction";
    }
    return cases;
}

namespace detail {

inline std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

inline std::string dump(const std::string& memory) {
    std::string text = std::to_string(memory.size()) + " bytes\n";
    for (std::size_t row = 0; row < memory.size(); row += 16) {
        const std::string bytes = memory.substr(row, 16);
        if (bytes.find_first_not_of('\xFF') == std::string::npos) {
            continue;
        }
        std::array<char, 16> line{};
        std::snprintf(line.data(), line.size(), "%05x:", static_cast<unsigned>(row));
        text += line.data();
        for (const char byte : bytes) {
            std::snprintf(line.data(), line.size(), " %02x", static_cast<unsigned char>(byte));
            text += line.data();
        }
        text += '\n';
    }
    return text;
}

inline std::string records(const std::string& hex) {
    std::istringstream lines(hex);
    std::string text;
    int erased = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.size() == 43 && line.starts_with(":10") && line.substr(7, 2) == "00" &&
            line.substr(9, 32) == std::string(32, 'f')) {
            ++erased;
            continue;
        }
        text += erased > 0 ? "(" + std::to_string(erased) + " erased records)\n" + line + "\n"
                           : line + "\n";
        erased = 0;
    }
    return text;
}

struct Event {
    long long micros;
    std::string what;
};

inline std::vector<Event> events(const std::string& trace) {
    std::istringstream lines(trace);
    std::vector<Event> all;
    for (std::string line; std::getline(lines, line);) {
        all.push_back({std::stoll(line), line.substr(line.find(' ') + 1)});
    }
    return all;
}

// Each write is given its time before the next instruction: the chip's busy time with the
// program's margin (after the reset pulse, Chip Erase, a page write and an EEPROM byte).
inline void expectWaits(const std::vector<Event>& all) {
    const std::array<std::pair<std::string, long long>, 4> waits{
        {{"reset 0", 30000}, {"ac80", 14000}, {"4c", 9500}, {"c0", 11500}}};
    for (std::size_t i = 1; i < all.size(); ++i) {
        for (const auto& [after, micros] : waits) {
            EXPECT_TRUE(!all[i - 1].what.starts_with(after) ||
                        (after == "reset 0" && !all[i].what.starts_with("ac53")) ||
                        all[i].micros - all[i - 1].micros >= micros)
                << all[i - 1].what << " then " << all[i].what;
        }
    }
}

inline std::string traceCounts(const std::vector<Event>& all) {
    std::vector<std::pair<std::string, int>> counts;
    for (const auto& [micros, event] : all) {
        const std::string kind =
            event.starts_with("reset") || event.starts_with("4d") || event.ends_with(" busy")
                ? event
                : event.substr(0, 2);
        auto it = std::find_if(counts.begin(), counts.end(),
                               [&](const auto& count) { return count.first == kind; });
        it = it != counts.end() ? it : counts.insert(counts.end(), {kind, 0});
        ++it->second;
    }
    std::string text;
    for (const auto& [kind, count] : counts) {
        text += kind + " x" + std::to_string(count) + "\n";
    }
    return text;
}

} // namespace detail

// Runs the case in a fresh folder and compares its transcript with expectedDir/<name>.txt.
inline ProgramRun expectTranscript(const ChipCase& c, const std::string& expectedDir) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quillon-e2e-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "chip");
    const auto expand = [&](const std::string& text) {
        return detail::replaced(detail::replaced(text, "$DIR", dir.string()), "$DATA", dataDir);
    };
    for (const auto& [name, contents] : c.files) {
        std::ofstream(dir / name, std::ios::binary) << contents;
    }
    for (const std::string& fifo : c.fifos) {
        EXPECT_EQ(mkfifo((dir / fifo).c_str(), 0600), 0) << fifo;
    }
    ProgramOptions options{{}, {}, c.input, c.timeout, c.timeoutSignal, c.terminal, c.output};
    std::istringstream words(expand(c.args));
    for (std::string word; words >> word;) {
        options.args.push_back(word);
    }
    options.env = {
        {"LD_LIBRARY_PATH", QUILLON_BUILD_DIR "/" + c.library}, {"QUILLON_SIM_DEVICE", c.device},
        {"QUILLON_SIM_STATE", (dir / "chip").string()},         {"QUILLON_SIM_FAULTS", c.faults},
        {"QUILLON_SIM_TRACE", (dir / "trace.txt").string()},    {"QUILLON_SIM_LEVEL", c.level}};
    for (const auto& [name, value] : c.env) {
        options.env[name] = expand(value);
    }
    ProgramRun run = runProgram(QUILLON_PROGRAM, options);
    const std::string path =
        expectedDir + (c.level.empty() ? "" : "/" + c.level) + "/" + c.name + ".txt";
    const std::string expected = fileText(path);
    const bool errorShown = expected.starts_with("--- stderr\n") ||
                            expected.find("\n--- stderr\n") != std::string::npos;
    EXPECT_TRUE(c.terminal || errorShown || run.err.empty()) << run.err;
    const std::vector<detail::Event> trace = detail::events(fileText(dir / "trace.txt"));
    if (!c.firmwareWaits) {
        detail::expectWaits(trace);
    }

    std::string actual;
    std::istringstream lines(expected);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("--- ")) {
            continue;
        }
        const std::string what = line.substr(4);
        const std::string name = what.substr(what.find(' ') + 1);
        std::string text;
        if (what == "stdout" || what == "stderr") {
            text = detail::replaced(
                detail::replaced(what == "stdout" ? withoutDelayValue(run.out) : run.err,
                                 dir.string(), "$DIR"),
                dataDir, "$DATA");
        } else if (what == "status") {
            text = std::to_string(run.status) + "\n";
        } else if (what.starts_with("file ") || what.starts_with("records ")) {
            text = fs::exists(dir / name) ? fileText(dir / name) : "(missing)\n";
            text = what.starts_with("records ") ? detail::records(text) : text;
        } else if (what == "flash" || what == "eeprom") {
            text = detail::dump(fileText(dir / "chip" / (what + ".bin")));
        } else if (what == "trace") {
            text = detail::traceCounts(trace);
        } else if (what == "last event") {
            text = trace.empty() ? "(none)\n" : trace.back().what + "\n";
        }
        actual.append(line).append("\n").append(text);
        actual.append(text.empty() || text.ends_with('\n') ? "" : "\n\\ no newline\n");
    }
    if (std::getenv("QUILLON_UPDATE_EXPECTED") != nullptr) {
        std::ofstream(path, std::ios::binary) << actual;
    }
    EXPECT_FALSE(run.timedOut && c.timeoutSignal == SIGKILL) << run.out;
    EXPECT_EQ(actual, expected) << path;
    fs::remove_all(dir);
    return run;
}

// How a case shows in test names and failures: by its name.
inline void PrintTo(const ChipCase& c, std::ostream* out) {
    *out << c.name;
}

// A parameterised test over a table of cases, each run by expectTranscript.
struct Transcript : ::testing::TestWithParam<ChipCase> {};

inline std::string caseName(const ::testing::TestParamInfo<ChipCase>& info) {
    return info.param.name + (info.param.level.empty() ? "" : "_" + info.param.level);
}

} // namespace quillon::testing
