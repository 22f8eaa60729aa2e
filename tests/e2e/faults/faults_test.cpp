// SPDX-License-Identifier: MIT
// Faults of the target and the cable, injected by the simulator, against the built program:
// every command that touches the target ends in a clear message or a failed verification,
// never in "Target matches" on a chip that doesn't hold the file, never in a crash, and the
// chip's state files stay whole and agree with the chip.
#include <gtest/gtest.h>

#include <csignal>

#include <filesystem>
#include <string>
#include <vector>

#include "program_runner.h"
#include "simulated_chip.h"

namespace fs = std::filesystem;
namespace q = quillon;
using q::testing::ProgramRun;
using q::testing::SimulatedChip;

namespace {

const fs::path dataDir = fs::path(QUILLON_SOURCE_DIR) / "tests/data/avr";
const std::string blinkHex = (dataDir / "blink16.hex").string();
const std::string eepromHex = (dataDir / "blink16_eeprom.hex").string();
const std::string blink = q::testing::readWholeFile(dataDir / "blink16.bin");

// The instructions of the greeting: Programming Enable, three signature bytes, three fuses.
constexpr int greeting = 7;

bool has(const ProgramRun& run, const std::string& text) {
    return run.out.find(text) != std::string::npos;
}

std::string stoppedAnswering(const std::string& file) {
    return "ERROR - Target stopped answering (signature now ff ff ff): check the cable and the "
           "target's power, then repeat the command\nERROR - Target does not match " +
           file + "\n";
}

// An ATmega16 that holds the blink program, its EEPROM data and its factory fuses.
struct ProgrammedChip : SimulatedChip {
    ProgrammedChip() : SimulatedChip("ATmega16", 16384, 512) {
        const ProgramRun run = this->run({"-df" + blinkHex, "-de" + eepromHex});
        EXPECT_TRUE(has(run, "Target matches " + blinkHex)) << run.out;
        EXPECT_TRUE(flash().starts_with(blink));
    }
};

} // namespace

TEST(TargetFaults, WithoutAnAnsweringTargetEveryCommandSaysSoAndNothingChanges) {
    for (const std::string fault : {"no-target", "miso-low"}) {
        SCOPED_TRACE(fault);
        ProgrammedChip chip;
        const std::string flash = chip.flash();
        const std::string fuses = chip.fuses();
        const fs::path upload = chip.file("upload.hex");
        const ProgramRun run =
            chip.run({"-df" + blinkHex, "-de" + eepromHex, "-uf" + upload.string(),
                      "-ue" + upload.string(), "-gl", "-pl3c", "-pl3c", "-gf1", "-gf2", "-gf3",
                      "-gf", "-a", "-pfae1,99,fd", "-pf1e4", "-pf2d9", "-pf3fd", "-gc", "-i", "-s"},
                     fault);
        EXPECT_TRUE(has(run, "Target not responding to Enable Serial Programming command\n"));
        EXPECT_FALSE(has(run, "Target matches")) << run.out;
        for (const char* command :
             {"flash download", "EEPROM download", "flash upload", "EEPROM upload"}) {
            EXPECT_TRUE(has(run, std::string("ERROR - Target processor unrecognized: ") + command +
                                     " skipped"))
                << command;
        }
        EXPECT_TRUE(has(run, "Default fuses not written: target not recognised"));
        for (const char* what : {"Lock byte", "Fuse bytes", "Fuse byte"}) {
            EXPECT_TRUE(has(run, std::string(what) + " not written: target not recognised"))
                << what;
        }
        EXPECT_FALSE(has(run, "Write ")) << run.out;
        EXPECT_FALSE(fs::exists(upload));
        EXPECT_EQ(chip.flash(), flash);
        EXPECT_EQ(chip.fuses(), fuses);
        chip.expectConsistent();
    }
}

TEST(TargetFaults, ATargetThatHangsWhileProgrammedFailsTheDownloadAndIsNotUploaded) {
    ProgrammedChip chip;
    const fs::path upload = chip.file("upload.hex");
    // Chip Erase, Load Extended Address, then 50 page loads: the part hangs inside the first page.
    const ProgramRun run = chip.run({"-df" + blinkHex, "-s", "-uf" + upload.string()},
                                    "mute-after=" + std::to_string(greeting + 2 + 50));
    EXPECT_TRUE(has(run, "Read 16384 target flash bytes\n" + stoppedAnswering(blinkHex)))
        << run.out;
    EXPECT_FALSE(has(run, "Target matches")) << run.out;
    EXPECT_TRUE(has(run, "Processor unrecognized") || has(run, "unrecognized")) << run.out;
    EXPECT_FALSE(fs::exists(upload));
    EXPECT_EQ(chip.flash(), std::string(16384, '\xFF')); // erased, nothing programmed
    chip.expectConsistent();
}

TEST(TargetFaults, ATargetThatHangsDuringAnUploadLeavesTheFileAlone) {
    // The read-back goes on against a silent part and reads 0xFF from there on: that is not
    // the chip's memory, so the file keeps what it held.
    ProgrammedChip chip;
    const fs::path upload = chip.file("upload.hex");
    q::testing::writeWholeFile(upload, "an earlier upload\n");
    const ProgramRun run =
        chip.run({"-uf" + upload.string()}, "mute-after=" + std::to_string(greeting + 1 + 100));
    EXPECT_TRUE(has(run, "ERROR - Target stopped answering (signature now ff ff ff): check the "
                         "cable and the target's power, then repeat the command\nERROR - " +
                             upload.string() + " not written\n"))
        << run.out;
    EXPECT_EQ(q::testing::readWholeFile(upload), "an earlier upload\n");
}

TEST(TargetFaults, ATargetThatHangsBeforeTheEraseIsNotTakenForAnErasedChip) {
    // An empty file erases the chip. A part that hangs just after the greeting ignores the erase
    // and reads 0xFF throughout, like an erased chip.
    ProgrammedChip chip;
    const fs::path empty = chip.file("empty.hex");
    q::testing::writeWholeFile(empty, "");
    const ProgramRun run =
        chip.run({"-df" + empty.string()}, "mute-after=" + std::to_string(greeting));
    EXPECT_TRUE(has(run, stoppedAnswering(empty.string()))) << run.out;
    EXPECT_TRUE(chip.flash().starts_with(blink)); // the old program is still there
    chip.expectConsistent();
}

TEST(TargetFaults, ALostPageWriteFailsTheVerification) {
    ProgrammedChip chip;
    const ProgramRun run = chip.run({"-df" + blinkHex}, "drop-page=2");
    EXPECT_TRUE(has(run, " bytes mismatched\nERROR - Target does not match " + blinkHex + "\n"))
        << run.out;
    const std::string flash = chip.flash();
    EXPECT_EQ(flash.substr(0, 128), blink.substr(0, 128));
    EXPECT_EQ(flash.substr(128, 128), std::string(128, '\xFF'));
    chip.expectConsistent();
}

TEST(TargetFaults, PowerLossMidDownloadFailsItAndTheNextDownloadRecovers) {
    ProgrammedChip chip;
    const fs::path upload = chip.file("upload.hex");
    const ProgramRun run = chip.run({"-df" + blinkHex, "-df" + blinkHex, "-uf" + upload.string()},
                                    "power-loss=" + std::to_string(greeting + 2 + 200));
    const std::string out = run.out;
    const auto lost = out.find(stoppedAnswering(blinkHex));
    ASSERT_NE(lost, std::string::npos) << out;
    EXPECT_NE(out.find("Target matches " + blinkHex, lost), std::string::npos) << out;
    EXPECT_EQ(q::testing::hexFileBytes(upload), blink);
    chip.expectConsistent();
}

TEST(TargetFaults, ASlowChipMatchesOnlyWhatItHolds) {
    // Each EEPROM byte keeps the slow part busy ten times the data sheet's 8.5 ms, longer than
    // the program waits, so writes that arrive while it is busy are lost. Whatever the machine's
    // speed makes of that, a match must be true of the chip.
    SimulatedChip chip("ATmega16", 16384, 512);
    const ProgramRun run = chip.run({"-de" + eepromHex}, "slow");
    const std::string image = q::testing::readWholeFile(dataDir / "blink16_eeprom.bin");
    if (has(run, "Target matches")) {
        EXPECT_TRUE(chip.eeprom().starts_with(image)) << run.out;
    } else {
        EXPECT_TRUE(has(run, "ERROR - Target does not match " + eepromHex)) << run.out;
    }
    chip.expectConsistent();
}

TEST(TargetFaults, AProgramKilledOrInterruptedMidDownloadLeavesWholeStateFiles) {
    // The PC loses power while it programs, or the user stops it: the chip keeps what reached it,
    // and its files are whole. An interrupt (SIGINT, SIGTERM, SIGHUP) also releases the target
    // (its RESET goes high) and ends the program with status 128 + the signal.
    for (const int signal : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(signal);
        SimulatedChip chip("ATmega128", 131072, 4096);
        q::testing::ProgramOptions options;
        options.args = {"-df" + (dataDir / "table128.hex").string()};
        options.env["LD_LIBRARY_PATH"] = (fs::path(QUILLON_BUILD_DIR) / "sim").string();
        options.env["QUILLON_SIM_DEVICE"] = "ATmega128";
        options.env["QUILLON_SIM_STATE"] = chip.file("chip").string();
        options.env["QUILLON_SIM_TRACE"] = chip.file("trace.txt").string();
        options.timeout = std::chrono::milliseconds(1500);
        options.timeoutSignal = signal;
        const ProgramRun stopped = q::testing::runProgram(QUILLON_PROGRAM, options);
        ASSERT_TRUE(stopped.timedOut) << stopped.out;
        if (signal == SIGTERM) {
            EXPECT_EQ(stopped.status, 128 + SIGTERM);
            EXPECT_TRUE(stopped.out.ends_with(
                "\nInterrupted by signal 15: target released, program ended\n"))
                << stopped.out;
            EXPECT_TRUE(q::testing::readWholeFile(chip.file("trace.txt")).ends_with(" reset 1\n"));
        }
        // Stopped part of the way through: some of the program reached the chip, not all of it.
        const std::string image = q::testing::readWholeFile(dataDir / "table128.bin");
        const std::string flash = chip.flash();
        EXPECT_NE(flash.find_first_not_of('\xFF'), std::string::npos);
        EXPECT_FALSE(flash.starts_with(image));
        chip.expectConsistent();
    }
}

// Lock bits LB2:1 = 10 forbid writing the memories, 00 reading them as well: neither is tried,
// and the file keeps what the last upload put there.
TEST(TargetFaults, ALockedChipIsNeitherWrittenNorUploaded) {
    ProgrammedChip chip;
    const std::string upload = chip.file("upload.hex").string();
    const std::string eeprom = chip.eeprom();
    const ProgramRun run = chip.run({"-pl", "-plfe", "-de" + blinkHex, "-uf" + upload, "-pl",
                                     "-plfc", "-uf" + upload, "-ue" + upload});
    const std::string erase = "; only a chip erase, which every df does, clears that\n";
    const std::string readProtected =
        "ERROR - The chip is read-protected (lock byte fc): " + upload + " not written" + erase;
    EXPECT_TRUE(has(run, "Write lock byte fe\nERROR - The chip is write-protected (lock byte fe): "
                         "nothing written to its EEPROM" +
                             erase + "Read 16384 target flash bytes\n"))
        << run.out;
    EXPECT_TRUE(has(run, "Write lock byte fc\n" + readProtected + readProtected)) << run.out;
    EXPECT_EQ(q::testing::hexFileBytes(upload), q::testing::withoutErasedTail(chip.flash()));
    EXPECT_EQ(chip.eeprom(), eeprom);
}
