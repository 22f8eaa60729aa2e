// SPDX-License-Identifier: MIT
// The simulated adapter and ATmega through its port, driven by the program's own link layer
// (SimulatedPort): the board's virtual clock moves only with the link's waits and the scripts'.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "device/instructions.h"
#include "sim/isp_wire.h"
#include "simulated_port.h"

namespace fs = std::filesystem;
namespace q = quillon;

namespace {

struct Row {
    const char* device;
    const char* faults;
    // After the program's entry into programming mode: "wN" waits N us; "pN" pulses RESET high
    // for N us ("hN": with SCK high as it falls); "c" is one SCK pulse; "XXXXXXXX" sends an
    // instruction and "XXXXXXXX:YY" expects YY back in byte 4 (byte 3 for Programming Enable).
    const char* script;
};

// Runs the row's script on a new board; returns the board's trace.
std::vector<std::string> run(const Row& row, const std::string& state = "") {
    q::sim::Problems problems;
    q::testing::SimulatedPort port({.device = row.device,
                                    .stateDir = state,
                                    .faults = q::sim::parseFaults(row.faults, problems),
                                    .traceFile = "",
                                    .keepTrace = true});
    EXPECT_TRUE(problems.empty());
    q::driveProgrammingMode();
    std::istringstream tokens(row.script);
    for (std::string token; tokens >> token;) {
        const auto micros = [&] { return std::chrono::microseconds(std::stoi(token.substr(1))); };
        if (token[0] == 'w') {
            port.clock().advance(micros());
        } else if (token[0] == 'p' || token[0] == 'h') {
            q::setLine(4, token[0] == 'h' ? 1 : 0);
            q::setLine(6, 1);
            q::setLine(7, 1);
            port.clock().advance(micros());
            q::setLine(6, 0);
            q::setLine(7, 0);
            q::setLine(4, 0);
        } else if (token == "c") {
            q::setLine(4, 1);
            q::setLine(4, 0);
        } else {
            const uint32_t frame = std::stoul(token.substr(0, 8), nullptr, 16);
            std::array<uint8_t, 4> in{};
            for (std::size_t i = 0; i < in.size(); ++i) {
                in[i] = q::transferByte(static_cast<uint8_t>(frame >> (24 - 8 * i)));
            }
            if (token.size() > 9) {
                EXPECT_EQ(in[(frame >> 16) == 0xAC53 ? 2 : 3],
                          std::stoul(token.substr(9), nullptr, 16))
                    << row.script << ": " << token;
            }
        }
    }
    return port.board().traceLines();
}

} // namespace

TEST(SimBoard, AnswersAsTheDataSheetsPartWould) {
    for (const Row& row : std::initializer_list<Row>{
             // Programming Enable: from 20 ms after RESET fell with SCK low, in step.
             {"ATmega16", "", "p2 w19999 ac530000:ff w1 ac530000:53 30000100:94 30000200:03"},
             {"ATmega16", "", "c ac530000:00 ac530000:00 h2 w20000 ac530000:00 p2 w20000"},
             {"ATmega16", "", "ac530000:53 p1 30000000:1e p2 w20000 30000000:00"},
             // Busy for the data sheet's times: any instruction but Poll RDY/BSY is ignored.
             {"ATmega16", "",
              "ac530000:53 4000005a 4c000000 w4499 f0000000:01 30000000:00 "
              "c0000155 w1 f0000000:00 a0000100:ff 20000000:5a"},
             {"ATmega16", "", "ac530000:53 c0000012 w8999 f0000000:01 w1 a0000000:12"},
             {"ATmega48", "", "ac530000:53 c0000012 w3599 f0000000:01 w1 a0000000:12"},
             {"ATmega16", "", "ac530000:53 ac800000 w8999 f0000000:01 w1 f0000000:00"},
             {"ATmega48P", "", "ac530000:53 ac800000 w10499 f0000000:01 w1 f0000000:00"},
             {"ATmega16", "", "ac530000:53 aca000e4 w4499 f0000000:01 w1 50000000:e4"},
             {"ATmega16", "", "ac530000:53 ace000fe w4499 f0000000:01 w1 58000000:fe"},
             {"ATmega16", "slow", "ac530000:53 4c000000 w44999 f0000000:01 w1 f0000000:00"},
             // Lock bits stop writes, both LB bits reads too; Chip Erase clears them and the
             // EEPROM, unless EESAVE (high fuse bit 3) is programmed.
             {"ATmega16", "",
              "ac530000:53 4000005a 4c000000 w4500 c0000033 w9000 ace000fe w4500 "
              "40000000 4c000000 c0000000 aca00000 f0000000:00 20000000:5a "
              "a0000000:33 50000000:e1"},
             {"ATmega16", "",
              "ac530000:53 4000005a 4c000000 w4500 c0000033 w9000 ace000fc w4500 "
              "20000000:ff a0000000:ff 30000000:1e ac800000 w9000 58000000:ff "
              "20000000:ff a0000000:ff"},
             {"ATmega16", "",
              "ac530000:53 c0000033 w9000 aca80091 w4500 ace000fc w4500 "
              "ac800000 w9000 58000000:ff a0000000:33"},
             // Page offsets wrap at the page size, word addresses at the flash size.
             {"ATmega48", "",
              "ac530000:53 40002312 48000334 4c080500 w4500 20000300:12 28080300:34"},
             {"ATmega16", "",
              "ac530000:53 40006312 48002334 4c200000 w4500 20002300:12 28002300:34"},
             {"ATmega2560", "",
              "ac530000:53 4d000200 4000c312 4c000000 w4500 20004300:12 4d000100 20004300:ff"},
             {"ATmega2560", "",
              "ac530000:53 4d000100 40000312 4c000000 w4500 20000300:12 "
              "4d000000 20000300:ff"},
             // Faults.
             {"ATmega16", "miso-low", "ac530000:00 30000000:00"},
             {"ATmega16", "mute-after=3",
              "ac530000:53 30000100:94 30000200:03 30000000:ff p2 "
              "w20000 ac530000:ff"},
             {"ATmega16", "drop-page=2",
              "ac530000:53 40000000 4c000000 w4500 40000000 4c004000 "
              "f0000000:01 w4500 40000000 4c008000 w4500 20000000:00 "
              "20004000:ff 20008000:00"},
             {"ATmega16", "power-loss=3",
              "ac530000:53 40000000 4c000000 30000000:ff p2 w20000 "
              "ac530000:53 4c000000 w4500 20000000:ff 30000000:1e"},
             {"ATmega16", "stuck=1",
              "ac530000:53 40000000 48000000 4c000000 w4500 20000000:00 "
              "28000000:ff"}}) {
        run(row);
    }
}

TEST(SimBoard, MisoChangesAfterTheFallingEdgeMostSignificantBitFirst) {
    q::testing::SimulatedPort port; // an ATmega16
    ASSERT_EQ(q::enterProgrammingMode(), 0x53);
    for (const uint8_t byte : {0x30, 0x00, 0x00}) {
        (void)q::transferByte(byte);
    }
    std::string levels; // byte 4 answers 0x1e: each bit's level while SCK is high, then after
    for (int bit = 0; bit < 8; ++bit) {
        port.board().setPortBit(q::sim::dataPort, 4);
        levels += port.board().getPortBit(q::sim::statusPort, 6) != 0 ? '1' : '0';
        port.board().clrPortBit(q::sim::dataPort, 4);
        levels += port.board().getPortBit(q::sim::statusPort, 6) != 0 ? '1' : '0';
    }
    EXPECT_EQ(levels, "0000011111111000");
}

TEST(SimBoard, TracesResetsAndInstructionsWithTheirTimeAndTheBusyOnes) {
    EXPECT_EQ(
        run({"ATmega16", "", "ac530000 4c000000 20000000 w4500 20000000"}),
        (std::vector<std::string>{"30010 reset 1", "30020 reset 0", "60020 ac530000",
                                  "60020 4c000000", "60020 20000000 busy", "64520 20000000"}));
}

TEST(SimBoard, EveryChangeReachesTheStateFolderAndANewBoardStartsFromIt) {
    const fs::path folder = fs::temp_directory_path() / ("quillon-sim-" + std::to_string(getpid()));
    fs::remove_all(folder);
    run({"ATmega48", "", "ac530000:53 c000ff56 w3600 40000000 4c002000 w4500 aca000e2"},
        folder.string());
    std::ostringstream fuses;
    fuses << std::ifstream(folder / "fuses.txt").rdbuf();
    EXPECT_EQ(fuses.str(), "low=e2\nhigh=df\nextended=ff\nlock=ff\ncalibration=a7\n");
    run({"ATmega48", "", "ac530000:53 a000ff00:56 50000000:e2 20002000:00"}, folder.string());
    fs::remove_all(folder);
}

TEST(SimBoard, FollowsAProgrammersSckOnlyWhileEachPhaseLastsMoreThanTwoCpuCycles) {
    // Clock, SCK, in step; from 12 MHz on a phase must last more than three cycles; a rate of 0
    // is the port's, unjudged; a clock setting that isn't one leaves the factory's.
    const std::vector<std::tuple<std::string, uint32_t, bool>> cases{{"", 0, true},
                                                                     {"", 249999, true},
                                                                     {"", 250000, false},
                                                                     {"128000", 32000, false},
                                                                     {"16000000", 2666666, true},
                                                                     {"16000000", 2666667, false},
                                                                     {"8MHz", 250000, false}};
    for (const auto& [cpu, sck, inStep] : cases) {
        SCOPED_TRACE(cpu + " Hz clock, SCK " + std::to_string(sck));
        q::sim::Problems problems;
        q::sim::Config config;
        config.clockHz = cpu.empty() ? config.clockHz
                                     : q::sim::parseClock(cpu, problems).value_or(config.clockHz);
        EXPECT_EQ(problems.size(), cpu == "8MHz" ? 1U : 0U);
        q::sim::VirtualClock clock;
        q::sim::Board board(config, clock);
        q::sim::IspWire wire(board, [&](std::chrono::microseconds time) { clock.advance(time); });
        wire.holdReset();
        wire.wait(std::chrono::milliseconds(20));
        wire.setSckRate(sck);
        const bool echoed = wire.instruction({0xAC, 0x53, 0x00, 0x00})[2] == 0x53;
        EXPECT_EQ(echoed, inStep);
        EXPECT_EQ(wire.instruction({0x30, 0x00, 0x00, 0x00})[3] == 0x1E, inStep);
    }
}
