// SPDX-License-Identifier: MIT
// The shared library build/sim/libio.so loaded through the programmer's own binding, and the
// in-process SimulatedPort, both driven by quillon's link and instruction code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "commands/state.h"
#include "device/device.h"
#include "device/instructions.h"
#include "link/link.h"
#include "simulated_port.h"

namespace fs = std::filesystem;
namespace q = quillon;

namespace {

struct SimLibrary : ::testing::Test {
    void SetUp() override {
        q::resetProcessState(); // uncalibrated: the waits are topped up to their length
        folder = fs::temp_directory_path() / ("quillon-simlib-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        q::unbindPortLibrary();
        for (const char* name : {"QUILLON_SIM_DEVICE", "QUILLON_SIM_STATE", "QUILLON_SIM_FAULTS",
                                 "QUILLON_SIM_TRACE"}) {
            ::unsetenv(name);
        }
        fs::remove_all(folder);
    }
    fs::path folder;
};

} // namespace

TEST_F(SimLibrary, TheProgramsBindingLoadsItAndTheChipKeepsItsStateAcrossLoads) {
    ::setenv("QUILLON_SIM_DEVICE", "ATmega32", 1);
    ::setenv("QUILLON_SIM_STATE", (folder / "chip").c_str(), 1);
    ::setenv("QUILLON_SIM_TRACE", (folder / "trace.txt").c_str(), 1);
    ASSERT_EQ(q::bindPortLibrary(), 0) << "is LD_LIBRARY_PATH set to the build's sim folder?";
    EXPECT_NE(q::PortLibrary.PortOut, nullptr);
    EXPECT_NE(q::PortLibrary.IsDriverInstalled, nullptr);
    EXPECT_NE(q::PortLibrary.IsDriverInstalled(), 0);
    ASSERT_EQ(q::adapterPresent(), 1);
    q::enterProgrammingMode();
    EXPECT_EQ(q::programmingEnable(), 0x53);
    q::readSignature();
    EXPECT_EQ(q::targetSignature, (std::array<uint8_t, 3>{0x1E, 0x95, 0x02}));
    q::writeFuseLow(0xE4);
    q::delayMicros(5000); // the fuse write, on the library's real clock
    q::releaseTarget();
    q::unbindPortLibrary();

    ASSERT_EQ(q::bindPortLibrary(), 0);
    q::enterProgrammingMode();
    EXPECT_EQ(q::programmingEnable(), 0x53);
    q::readFuses();
    EXPECT_EQ(q::FuseTriple, (q::FuseCells{.extended = 0xFF, .high = 0x99, .low = 0xE4}));
    q::releaseTarget();

    std::ifstream trace(folder / "trace.txt");
    std::string line;
    std::vector<std::string> events;
    while (std::getline(trace, line)) {
        events.push_back(line.substr(line.find(' ') + 1));
    }
    // The second load started the trace afresh.
    EXPECT_EQ(events, (std::vector<std::string>{"reset 1", "reset 0", "ac530000", "50000000",
                                                "58080000", "50080000", "reset 1"}));
}

TEST_F(SimLibrary, FaultsAndProblemsComeFromTheEnvironment) {
    ::setenv("QUILLON_SIM_FAULTS", "no-adapter,sticky", 1);
    ::setenv("QUILLON_SIM_DEVICE", "ATmega99", 1);
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(q::bindPortLibrary(), 0);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("quillon-sim: QUILLON_SIM_FAULTS: unknown fault 'sticky'"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("quillon-sim: QUILLON_SIM_DEVICE: unknown device 'ATmega99'"),
              std::string::npos)
        << err;
    EXPECT_EQ(q::adapterPresent(), 0);
}

TEST_F(SimLibrary, SimulatedPortPutsABoardIntoThePortLibrarySlots) {
    q::sim::Config config;
    config.device = "ATmega168";
    q::testing::SimulatedPort port(config);
    EXPECT_EQ(q::adapterPresent(), 1);
    q::enterProgrammingMode();
    EXPECT_EQ(q::programmingEnable(), 0x53);
    q::loadExtendedAddress(0);
    for (uint8_t word = 0; word < 64; ++word) {
        q::loadPageLow(word, word);
        q::loadPageHigh(word, static_cast<uint8_t>(~word));
    }
    q::writeFlashPage(64);
    EXPECT_EQ(q::waitReady(), 0); // polls through the busy time
    EXPECT_EQ(q::readFlashLow(64 + 5), 5);
    EXPECT_EQ(q::readFlashHigh(64 + 5), 0xFA);
    EXPECT_EQ(port.board().chip().flash[128 + 127], 0xC0);
    q::readFuses();
    EXPECT_EQ(q::FuseTriple, (q::FuseCells{.extended = 0xF9, .high = 0xDF, .low = 0x62}));
    q::releaseTarget();
    EXPECT_FALSE(port.board().programmingEnabled());
}
