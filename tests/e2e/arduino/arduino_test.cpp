// SPDX-License-Identifier: MIT
// The built program with the Arduino library against the emulated ArduinoISP sketch on a
// pseudo-terminal (a simulated chip behind it): the memory, fuse, lock and status commands, and
// what the user sees when the sketch, the port or the target lets the run down.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "program_runner.h"
#include "sim/arduino_sketch.h"

namespace {

using quillon::sim::Board;
using quillon::sim::SketchOptions;

const std::string data = QUILLON_SOURCE_DIR "/tests/data/avr/";

struct Case {
    const char* name;
    const char* device;
    SketchOptions faults;
    std::string settings;          // after port=...
    std::vector<std::string> args; // "@" stands for a file to upload into
    std::vector<std::string> says;
    std::vector<std::string> never;
    void (*chip)(Board&);
    std::string uploadMatches; // a HEX file the upload equals, record for record
};

std::string text(const std::string& path) { // without CR, lower case
    std::stringstream in;
    in << std::ifstream(path).rdbuf();
    std::string lines = in.str();
    std::erase(lines, '\r');
    std::ranges::transform(lines, lines.begin(), [](char c) { return std::tolower(c); });
    return lines;
}

SketchOptions fault(void (*set)(SketchOptions&)) {
    SketchOptions faults;
    set(faults);
    return faults;
}

// Rows show by name in test listings.
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

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
    for (const std::string& arg : c.args) {
        options.args.push_back(arg.back() == '@' ? arg.substr(0, arg.size() - 1) + upload : arg);
    }
    options.env = {{"LD_LIBRARY_PATH", QUILLON_BUILD_DIR "/arduino"},
                   {"QUILLON_ARDUINO", "port=" + sketch.port() + c.settings}};
    const auto run = quillon::testing::runProgram(QUILLON_PROGRAM, options);
    const std::string all = run.out + run.err;
    for (const std::string& line : c.says) {
        EXPECT_NE(all.find(line), std::string::npos) << line << " in\n" << all;
    }
    for (const std::string& line : c.never) {
        EXPECT_EQ(all.find(line), std::string::npos) << line << " in\n" << all;
    }
    if (c.chip != nullptr) {
        sketch.withBoard(c.chip);
    }
    if (!c.uploadMatches.empty()) {
        EXPECT_EQ(text(upload), text(c.uploadMatches));
    }
    sketch.withBoard([](Board& board) { EXPECT_FALSE(board.programmingEnabled()); });
    std::filesystem::remove(upload);
}

INSTANTIATE_TEST_SUITE_P(
    Arduino, Arduino,
    testing::Values(
        Case{"DownloadVerifyUpload",
             "ATmega16",
             {},
             "",
             {"-df" QUILLON_SOURCE_DIR "/examples/blink.hex", "-uf@"},
             {"Target ATmega16 responding", "Target matches"},
             {"ERROR"},
             nullptr,
             QUILLON_SOURCE_DIR "/examples/blink.hex"},
        Case{"EepromPastByte511",
             "ATmega328P",
             {},
             ",baud=19200",
             {"-de" + data + "eeprom768.hex"},
             {"Target matches"},
             {"ERROR"},
             [](Board& board) {
                 for (const uint32_t at : {0U, 0x1FFU, 0x200U, 0x2FFU}) {
                     EXPECT_EQ(board.chip().eeprom[at], (at * 29 + 5 + (at >> 8)) & 0xFF) << at;
                 }
                 EXPECT_EQ(board.chip().eeprom[0x300], 0xFF);
             },
             ""},
        Case{"FusesAndLock",
             "ATmega328P",
             {},
             "",
             {"-pf1e2", "-gf1", "-pl3c", "-pl3c", "-gl"},
             {"Fuse byte 1: e2", "Write lock byte 3c"},
             {"ERROR"},
             [](Board& board) {
                 EXPECT_EQ(board.chip().lowFuse, 0xE2);
                 EXPECT_EQ(board.chip().lock & 0x3F, 0x3C);
             },
             ""},
        Case{"IdentifyAndStatus",
             "ATmega644",
             {},
             "",
             {"-i", "-s"},
             {"Signature bytes: 1e 96 9  Processor: ATmega644", "Processor: ATmega644"},
             {"ERROR"},
             nullptr,
             ""},
        Case{"Atmega2560PastTheFirst128KiB",
             "ATmega2560",
             {},
             "",
             {"-df" + data + "above128k.hex"},
             {"Target ATmega2560 responding", "Target matches"},
             {"ERROR"},
             [](Board& board) {
                 const auto& flash = board.chip().flash;
                 EXPECT_EQ(flash[0x1FF00], 0x03);
                 EXPECT_EQ(flash[0x20000], (256 * 7 + 3) & 0xFF);
                 EXPECT_EQ(flash[0x200FF], (511 * 7 + 3) & 0xFF);
                 EXPECT_EQ(flash[0x10000], 0xFF);
             },
             ""},
        Case{"StrayBytesBeforeSync",
             "ATmega16",
             fault([](SketchOptions& f) { f.strayBytes = 9; }),
             "",
             {"-df" QUILLON_SOURCE_DIR "/examples/blink.hex"},
             {"Target matches"},
             {"ERROR"},
             nullptr,
             ""},
        Case{"NoAnswer",
             "ATmega16",
             fault([](SketchOptions& f) { f.mute = true; }),
             "",
             {"-df" QUILLON_SOURCE_DIR "/examples/blink.hex"},
             {"not in sync after 10 tries at 19200 baud: load the ArduinoISP sketch",
              "10 uF capacitor", "Tarvik not installed"},
             {"Target matches", "responding"},
             nullptr,
             ""},
        Case{"WrongBaud",
             "ATmega16",
             {},
             ",baud=57600",
             {"-i"},
             {"not in sync after 10 tries at 57600 baud", "Tarvik not installed"},
             {"responding"},
             nullptr,
             ""},
        Case{"PortMissing",
             "ATmega16",
             {},
             ",port=/dev/quillon-nothing-here",
             {"-i"},
             {"there is no serial port /dev/quillon-nothing-here (", "Tarvik not installed"},
             {"responding"},
             nullptr,
             ""},
        Case{"OutOfSyncDuringTheDownload",
             "ATmega16",
             fault([](SketchOptions& f) {
                 f.onlyCommand = 'V';
                 f.noiseInCommand = 9;
             }),
             "",
             {"-df" QUILLON_SOURCE_DIR "/examples/blink.hex"},
             {"fell out of sync during the instruction", "ERROR - Programmer failed during df: "},
             {"Target matches"},
             nullptr,
             ""},
        Case{"OutOfSyncReadingAFuse",
             "ATmega16",
             fault([](SketchOptions& f) {
                 f.onlyCommand = 'V';
                 f.noiseInCommand = 6;
             }),
             "",
             {"-gf", "-gf"},
             {"fell out of sync during the instruction"},
             {},
             nullptr,
             ""},
        Case{"ReplyStopsHalfwayInTheReadBack",
             "ATmega16",
             fault([](SketchOptions& f) {
                 f.onlyCommand = 0x74;
                 f.stopInCommand = 1;
             }),
             "",
             {"-df" QUILLON_SOURCE_DIR "/examples/blink.hex"},
             {"stopped in the middle of its answer to READ_PAGE (reading flash)", "ERROR - "},
             {"Target matches"},
             nullptr,
             ""},
        Case{"NoTarget",
             "ATmega16",
             {},
             "",
             {"-i"},
             {"Target not responding to Enable Serial Programming command",
              "Arduino: the target doesn't answer the sketch: check the wiring (Arduino pin 10"},
             {"ERROR - "},
             nullptr,
             ""}),
    [](const auto& info) { return std::string(info.param.name); });
