// SPDX-License-Identifier: MIT
// The configuration: the state folder that keeps a chip between runs, and the fault list.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_programmer.h"

using namespace quillon::sim;
using namespace quillon::sim::testing;
namespace fs = std::filesystem;

namespace {

struct SimState : ::testing::Test {
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("quillon-sim-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    Config config(const std::string& device = "ATmega16") const {
        Config config;
        config.device = device;
        config.stateDir = (folder / "chip").string();
        return config;
    }
    std::string text(const char* name) const {
        std::ifstream in(folder / "chip" / name, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    void write(const char* name, const std::string& content) const {
        fs::create_directories(folder / "chip");
        std::ofstream(folder / "chip" / name, std::ios::binary) << content;
    }

    fs::path folder;
};

} // namespace

TEST_F(SimState, EveryChangeReachesTheFilesAtOnceAndTheNextBoardFindsIt) {
    {
        VirtualClock clock;
        Board board(config("ATmega48"), clock);
        ASSERT_TRUE(board.problems().empty());
        EXPECT_EQ(text("flash.bin"), std::string(4096, '\xFF'));
        EXPECT_EQ(text("eeprom.bin"), std::string(256, '\xFF'));
        EXPECT_EQ(text("fuses.txt"), "low=62\nhigh=df\nextended=ff\nlock=ff\ncalibration=a7\n");
        TestProgrammer programmer(board, clock);
        ASSERT_TRUE(programmer.connect());
        programmer.writeFlashPage(64, {0x12, 0x34}, 64);
        EXPECT_EQ(text("flash.bin").substr(64, 3), "\x12\x34\xFF");
        ASSERT_GE(programmer.waitReady().count(), 0);
        programmer.instruction(0xC0, 0x00, 0xFF, 0x56);
        EXPECT_EQ(text("eeprom.bin")[255], '\x56');
        ASSERT_GE(programmer.waitReady().count(), 0);
        programmer.instruction(0xAC, 0xA0, 0x00, 0xE2);
        ASSERT_GE(programmer.waitReady().count(), 0);
        programmer.instruction(0xAC, 0xE0, 0x00, 0xFE);
        EXPECT_EQ(text("fuses.txt"), "low=e2\nhigh=df\nextended=ff\nlock=fe\ncalibration=a7\n");
    }
    VirtualClock clock;
    Board again(config("ATmega48"), clock);
    EXPECT_TRUE(again.problems().empty());
    EXPECT_EQ(again.chip().flash[64], 0x12);
    EXPECT_EQ(again.chip().flash[65], 0x34);
    EXPECT_EQ(again.chip().eeprom[255], 0x56);
    EXPECT_EQ(again.chip().lowFuse, 0xE2);
    EXPECT_EQ(again.chip().lock, 0xFE);
}

TEST_F(SimState, MissingFilesStartNewAndUnusableLinesKeepFactoryValues) {
    write("fuses.txt", "# a chip\nhigh=ff\nextended = 00\nlock=zz\nspeed=fast\n");
    VirtualClock clock;
    Board board(config("ATmega88"), clock);
    ASSERT_EQ(board.problems().size(), 2U);
    EXPECT_NE(board.problems()[0].find("lock=zz"), std::string::npos);
    EXPECT_NE(board.problems()[1].find("speed=fast"), std::string::npos);
    EXPECT_EQ(board.chip().lowFuse, 0x62);
    EXPECT_EQ(board.chip().highFuse, 0xDF);     // SPIEN stays programmed
    EXPECT_EQ(board.chip().extendedFuse, 0xF8); // bits 7..3 don't exist
    EXPECT_EQ(board.chip().lock, 0xFF);
    EXPECT_EQ(text("flash.bin").size(), 8192U);
}

TEST_F(SimState, AFolderForAnotherPartIsLeftAlone) {
    write("flash.bin", std::string(4096, '\x00'));
    VirtualClock clock;
    Board board(config("ATmega16"), clock);
    ASSERT_EQ(board.problems().size(), 1U);
    EXPECT_NE(board.problems()[0].find("in memory only"), std::string::npos);
    EXPECT_EQ(board.chip().flash[0], 0xFF);
    TestProgrammer programmer(board, clock);
    ASSERT_TRUE(programmer.connect());
    programmer.instruction(0xAC, 0x80, 0x00, 0x00);
    ASSERT_GE(programmer.waitReady().count(), 0);
    EXPECT_EQ(text("flash.bin"), std::string(4096, '\x00'));
    EXPECT_FALSE(fs::exists(folder / "chip" / "fuses.txt"));
}

TEST(SimConfig, FaultListsAreParsedAndBadItemsReported) {
    Problems problems;
    const Faults faults = parseFaults(" no-adapter,no-target ,,stuck=0x10,stuck=20,slow", problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_TRUE(faults.noAdapter);
    EXPECT_TRUE(faults.noTarget);
    EXPECT_TRUE(faults.slow);
    EXPECT_EQ(faults.stuckFlashBytes, (std::vector<uint32_t>{16, 20}));

    const Faults bad = parseFaults("fast,stuck=,stuck=0xZZ,stuck=12a,stuck=-1", problems);
    EXPECT_EQ(problems.size(), 5U);
    EXPECT_NE(problems[0].find("unknown fault 'fast'"), std::string::npos);
    EXPECT_TRUE(bad.stuckFlashBytes.empty());
    EXPECT_FALSE(bad.noAdapter || bad.noTarget || bad.slow);
}
