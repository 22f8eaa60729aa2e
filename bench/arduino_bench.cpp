// SPDX-License-Identifier: MIT
// What the Arduino programmer puts on the serial line, and how long that takes at the sketch's
// baud rate: quillon runs df on a 30,000-byte flash image and de on a 1 KiB EEPROM image against
// the emulated ArduinoISP sketch (an ATmega328P behind it), start-up to release, on a line paced
// to the baud rate. The seconds are worked out rather than taken from the clock, so that a busy
// machine doesn't change them: every byte as ten bit times, plus the sketch's own waits, plus
// the SPI time the sketch spends outside READ_PAGE (where it overlaps the line), plus quillon's
// own waits: each time it kept the line idle longer than it usually takes to answer (the median
// gap between an answer and the next command, which is this machine's turnaround, not a wait).
//
//     arduino_bench QUILLON ARDUINO_LIBRARY_FOLDER WORK_FOLDER
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_runner.h"
#include "sim/arduino_sketch.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t baud = 19200;
constexpr double bitsPerByte = 10.0; // 8N1: start, eight data bits, stop

// An Intel HEX file of `bytes` (below 64 KiB), 16 bytes a record.
void writeHex(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path);
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        const std::size_t count = std::min<std::size_t>(16, bytes.size() - at);
        unsigned sum = count + (at >> 8) + (at & 0xFF);
        std::array<char, 16> field{};
        std::snprintf(field.data(), field.size(), ":%02X%04X00", static_cast<unsigned>(count),
                      static_cast<unsigned>(at));
        out << field.data();
        for (std::size_t i = 0; i < count; ++i) {
            sum += bytes[at + i];
            std::snprintf(field.data(), field.size(), "%02X", bytes[at + i]);
            out << field.data();
        }
        std::snprintf(field.data(), field.size(), "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        out << field.data();
    }
    out << ":00000001FF\n";
}

double seconds(std::chrono::microseconds time) {
    return std::chrono::duration<double>(time).count();
}

struct Goal {
    const char* what;
    std::string command;
    uint64_t maxLineBytes; // 0: no goal for the bytes
    double maxSeconds;     // 0: no goal for the time
};

bool measure(const Goal& goal, const std::string& program, const std::string& library) {
    quillon::sim::Config chip;
    chip.device = "ATmega328P";
    quillon::sim::SketchOptions paced;
    paced.pacedLine = true;
    quillon::sim::ArduinoSketch sketch(chip, paced);
    const auto started = std::chrono::steady_clock::now();
    quillon::testing::ProgramOptions options;
    options.args = {goal.command};
    options.env = {{"LD_LIBRARY_PATH", library}, {"QUILLON_ARDUINO", "port=" + sketch.port()}};
    const auto run = quillon::testing::runProgram(program, options);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    auto figures = sketch.statistics();
    auto gaps = figures.idleGaps;
    std::ranges::sort(gaps);
    const auto turnaround = gaps.empty() ? std::chrono::microseconds{} : gaps[gaps.size() / 2];
    std::chrono::microseconds waits{};
    for (const auto gap : gaps) {
        waits += std::max(gap - turnaround, std::chrono::microseconds{});
    }
    const uint64_t line = figures.bytesIn + figures.bytesOut;
    const double onLine = static_cast<double>(line) * bitsPerByte / baud;
    const double total =
        onLine + seconds(figures.sketchWaits) + seconds(figures.spiTime) + seconds(waits);
    const bool verified = run.out.find("Target matches") != std::string::npos;
    const bool met = verified && (goal.maxLineBytes == 0 || line <= goal.maxLineBytes) &&
                     (goal.maxSeconds == 0 || total <= goal.maxSeconds);
    std::printf("%s (%s)\n", goal.what, goal.command.c_str());
    std::printf("  line: %llu bytes to the sketch, %llu back, %llu in all = %.2f s at %u baud\n",
                static_cast<unsigned long long>(figures.bytesIn),
                static_cast<unsigned long long>(figures.bytesOut),
                static_cast<unsigned long long>(line), onLine, baud);
    std::printf("  sketch waits %.2f s, its SPI outside READ_PAGE %.2f s, quillon's waits %.2f s "
                "(turnaround here %.2f ms, %zu times)\n",
                seconds(figures.sketchWaits), seconds(figures.spiTime), seconds(waits),
                seconds(turnaround) * 1000, gaps.size());
    std::printf("  about %.1f s in all (%.1f s by this machine's clock); goal:", total, wall);
    if (goal.maxLineBytes != 0) {
        std::printf(" at most %llu bytes on the line",
                    static_cast<unsigned long long>(goal.maxLineBytes));
    }
    if (goal.maxSeconds != 0) {
        std::printf(" at most %.0f s", goal.maxSeconds);
    }
    std::printf(" -- %s\n", !verified ? "NOT VERIFIED" : met ? "met" : "MISSED");
    if (!verified) {
        std::printf("%s%s", run.out.c_str(), run.err.c_str());
    }
    return met;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: arduino_bench QUILLON ARDUINO_LIBRARY_FOLDER WORK_FOLDER\n");
        return 2;
    }
    const fs::path work = argv[3];
    fs::create_directories(work);
    std::vector<uint8_t> flash(30000);
    std::vector<uint8_t> eeprom(1024);
    for (std::size_t i = 0; i < flash.size(); ++i) {
        flash[i] = static_cast<uint8_t>(i * 13 + (i >> 9));
    }
    for (std::size_t i = 0; i < eeprom.size(); ++i) {
        eeprom[i] = static_cast<uint8_t>(i * 29 + 5);
    }
    writeHex(work / "flash30000.hex", flash);
    writeHex(work / "eeprom1k.hex", eeprom);
    std::printf("Arduino as ISP at %u baud, ATmega328P behind the emulated ArduinoISP sketch\n",
                baud);
    bool met = measure({"df of a 30,000-byte flash image: erase, write, whole-flash read-back",
                        "-df" + (work / "flash30000.hex").string(), 66500, 0},
                       argv[1], argv[2]);
    met = measure({"de of a 1 KiB EEPROM image: write and verify",
                   "-de" + (work / "eeprom1k.hex").string(), 0, 20},
                  argv[1], argv[2]) &&
          met;
    return met ? 0 : 1;
}
