// SPDX-License-Identifier: MIT
// The built program with the Arduino library against the emulated ArduinoISP sketch on a
// pseudo-terminal (a simulated chip behind it): the memory, fuse, lock and status commands, and
// what the user sees when the sketch or the target lets the run down. How the library meets each
// fault of the line is tests/unit/arduino's business; here, that the program says it.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "program_runner.h"
#include "sim/arduino_sketch.h"

namespace {

using quillon::sim::Board;
using quillon::sim::SketchOptions;

struct Case {
    const char* name;
    const char* device;
    SketchOptions faults;
    std::string settings; // after port=...
    std::string args;     // separated by spaces; $DATA: tests/data/avr, $UP: a file to upload into
    std::string says;     // lines separated by '|'
    std::string never = "ERROR";
    void (*chip)(Board&) = nullptr;
    bool uploadIsBlink = false; // the upload equals examples/blink.hex, record for record
};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

// Rows show by name in test listings.
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

const SketchOptions none{};
const std::string blink = QUILLON_SOURCE_DIR "/examples/blink.hex";

} // namespace

class Arduino : public testing::TestWithParam<Case> {};

TEST_P(Arduino, TheProgramRunsThroughTheSketch) {
    const Case& c = GetParam();
    quillon::sim::Config config;
    config.device = c.device;
    config.faults.noTarget = std::string(c.name) == "NoTarget";
    quillon::sim::ArduinoSketch sketch(config, c.faults);
    const std::string upload =
        testing::TempDir() + "quillon-arduino-" + c.name + std::to_string(getpid()) + ".hex";
    quillon::testing::ProgramOptions options;
    for (std::string arg : split(c.args, ' ')) {
        for (const auto& [from, to] : {std::pair<std::string, std::string>{"$UP", upload},
                                       {"$DATA", QUILLON_SOURCE_DIR "/tests/data/avr"}}) {
            if (const auto at = arg.find(from); at != std::string::npos) {
                arg.replace(at, from.size(), to);
            }
        }
        options.args.push_back(arg);
    }
    options.env = {{"LD_LIBRARY_PATH", QUILLON_BUILD_DIR "/arduino"},
                   {"QUILLON_ARDUINO", "port=" + sketch.port() + c.settings}};
    const auto run = quillon::testing::runProgram(QUILLON_PROGRAM, options);
    const std::string all = run.out + run.err;
    for (const std::string& line : split(c.says, '|')) {
        EXPECT_NE(all.find(line), std::string::npos) << line << " in\n" << all;
    }
    for (const std::string& line : split(c.never, '|')) {
        EXPECT_EQ(all.find(line), std::string::npos) << line << " in\n" << all;
    }
    if (c.chip != nullptr) {
        sketch.withBoard(c.chip);
    }
    if (c.uploadIsBlink) {
        EXPECT_EQ(quillon::testing::hexRecords(upload), quillon::testing::hexRecords(blink));
    }
    sketch.withBoard([](Board& board) { EXPECT_FALSE(board.programmingEnabled()); });
    std::filesystem::remove(upload);
}

INSTANTIATE_TEST_SUITE_P(
    Arduino, Arduino,
    testing::Values(
        Case{"DownloadVerifyUpload", "ATmega16", none, "", "-df" + blink + " -uf$UP",
             "Target ATmega16 responding|Target matches", "ERROR", nullptr, true},
        Case{"EepromPastByte511", "ATmega328P", none, ",baud=19200", "-de$DATA/eeprom768.hex",
             "Target matches", "ERROR",
             [](Board& board) {
                 for (const uint32_t at : {0U, 0x1FFU, 0x200U, 0x2FFU}) {
                     EXPECT_EQ(board.chip().eeprom[at], (at * 29 + 5 + (at >> 8)) & 0xFF) << at;
                 }
                 EXPECT_EQ(board.chip().eeprom[0x300], 0xFF);
             }},
        Case{"FusesAndLock", "ATmega328P", none, "", "-pf1e2 -gf1 -pl3c -pl3c -gl",
             "Fuse byte 1: e2|Write lock byte 3c", "ERROR",
             [](Board& board) {
                 EXPECT_EQ(board.chip().lowFuse, 0xE2);
                 EXPECT_EQ(board.chip().lock & 0x3F, 0x3C);
             }},
        Case{"IdentifyAndStatus", "ATmega644", none, "", "-i -s",
             "Signature bytes: 1e 96 9  Processor: ATmega644|Processor: ATmega644"},
        Case{"Atmega2560PastTheFirst128KiB", "ATmega2560", none, "", "-df$DATA/above128k.hex",
             "Target ATmega2560 responding|Target matches", "ERROR",
             [](Board& board) {
                 const auto& flash = board.chip().flash;
                 EXPECT_EQ(flash[0x1FF00], 0x03);
                 EXPECT_EQ(flash[0x20000], (256 * 7 + 3) & 0xFF);
                 EXPECT_EQ(flash[0x200FF], (511 * 7 + 3) & 0xFF);
                 EXPECT_EQ(flash[0x10000], 0xFF);
             }},
        Case{"NoAnswer", "ATmega16", SketchOptions{.mute = true}, "", "-df" + blink,
             "not in sync after 10 tries at 19200 baud: load the ArduinoISP sketch|10 uF "
             "capacitor|Tarvik not installed",
             "Target matches|responding"},
        Case{"OutOfSyncDuringTheDownload", "ATmega16",
             SketchOptions{.noiseInCommand = 9, .onlyCommand = 'V'}, "", "-df" + blink,
             "fell out of sync during the instruction|ERROR - Programmer failed during df: ",
             "Target matches"},
        Case{"OutOfSyncReadingAFuse", "ATmega16",
             SketchOptions{.noiseInCommand = 6, .onlyCommand = 'V'}, "", "-gf -gf",
             "fell out of sync during the instruction", ""},
        Case{"ReplyStopsHalfwayInTheReadBack", "ATmega16",
             SketchOptions{.stopInCommand = 1, .onlyCommand = 0x74}, "", "-df" + blink,
             "stopped in the middle of its answer to READ_PAGE (reading flash)|ERROR - ",
             "Target matches"},
        Case{"NoTarget", "ATmega16", none, "", "-i",
             "Target not responding to Enable Serial Programming command|Arduino: the target "
             "doesn't answer the sketch: check the wiring (Arduino pin 10",
             "ERROR - "}),
    [](const auto& info) { return std::string(info.param.name); });
