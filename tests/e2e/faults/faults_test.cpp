// SPDX-License-Identifier: MIT
// Faults of the target and the cable, injected by the simulator, against the built program on
// an ATmega16 that holds the blink program and its EEPROM data: every command that touches the
// target ends in a clear message or a failed verification, never in "Target matches" on a chip
// that doesn't hold the file; the chip keeps what it held, files what they held. Transcripts in
// expected/.
#include "simulated_chip.h"

using namespace quillon::testing;

namespace {

const std::map<std::string, std::string> programmed{
    {"chip/flash.bin", erasedAfter(fileText(dataDir + "/blink16.bin"), 16384)},
    {"chip/eeprom.bin", erasedAfter(fileText(dataDir + "/blink16_eeprom.bin"), 512)},
    {"up.hex", "an earlier upload\n"},
    {"empty.hex", ""}};

const std::string everyTargetCommand =
    "-df$DATA/blink16.hex -de$DATA/blink16_eeprom.hex -uf$DIR/up.hex -ue$DIR/up.hex -gl -pl3c "
    "-pl3c -gf1 -gf2 -gf3 -gf -a -pfae1,99,fd -pf1e4 -pf2d9 -pf3fd -gc -i -s";

// The instructions of the greeting: Programming Enable, three signature bytes, three fuses.
std::string muteAfter(int instructions) {
    return "mute-after=" + std::to_string(7 + instructions);
}

// Mismatch file names that, after the banner and three help texts, fill standard output's
// buffer up to the download's "Erase chip" line.
const std::string mismatchNames = [] {
    std::string words;
    for (int i = 0; i < 5; ++i) {
        words += " -mf" + std::string(190, 'x');
    }
    return words + " -mf" + std::string(26, 'y');
}();

// A signal two seconds into programming 513 pages of an ATmega2560.
ChipCase signalledMidDownload(const std::string& name, int signal) {
    ChipCase c{name, "ATmega2560", "-df$DIR/sparse.hex"};
    c.files = {{"sparse.hex", ":0400000001020304F2\n:020000040002F8\n:010101005AA3\n"}};
    c.timeout = std::chrono::milliseconds(2000);
    c.timeoutSignal = signal;
    return c;
}

} // namespace

TEST_P(Transcript, OfTheFaults) {
    expectTranscript(GetParam(), QUILLON_SOURCE_DIR "/tests/e2e/faults/expected");
}

INSTANTIATE_TEST_SUITE_P(
    TargetFaults, Transcript,
    ::testing::Values(
        ChipCase{"NoTarget", "ATmega16", everyTargetCommand, programmed, "no-target"},
        ChipCase{"MisoShortedToGround", "ATmega16", everyTargetCommand, programmed, "miso-low"},
        // Chip Erase, Load Extended Address, then 50 page loads: it hangs inside the first page.
        ChipCase{"HangWhileProgrammed", "ATmega16", "-df$DATA/blink16.hex -s -uf$DIR/up.hex",
                 programmed, muteAfter(2 + 50)},
        // The read-back goes on against a silent part, which reads 0xFF from there on: that is
        // not the chip's memory, so the file keeps what it held.
        ChipCase{"HangDuringAnUpload", "ATmega16", "-uf$DIR/up.hex", programmed,
                 muteAfter(1 + 100)},
        // An empty file is refused before anything reaches the part, hung or not.
        ChipCase{"HangBeforeTheErase", "ATmega16", "-df$DIR/empty.hex", programmed, muteAfter(0)},
        ChipCase{"LostPageWrite", "ATmega16", "-df$DATA/blink16.hex", programmed, "drop-page=2"},
        ChipCase{"PowerLossMidDownloadThenRecovery", "ATmega16",
                 "-df$DATA/blink16.hex -df$DATA/blink16.hex -uf$DIR/up.hex", programmed,
                 "power-loss=" + std::to_string(7 + 2 + 200)},
        // Lock bits LB2:1 = 10 forbid writing the memories, 00 reading them as well.
        ChipCase{"LockedChipIsNeitherWrittenNorUploaded", "ATmega16",
                 "-pl -plfe -de$DATA/blink16.hex -uf$DIR/up.hex -pl -plfc -uf$DIR/up.hex "
                 "-ue$DIR/up.hex",
                 programmed},
        // SIGTERM part of the way through programming 513 pages: the target is released (RESET
        // high) and the program ends with status 128 + 15.
        signalledMidDownload("InterruptedMidDownload", SIGTERM),
        signalledMidDownload("QuitMidDownload", SIGQUIT),
        // A part that takes ten times the data sheet's write times answers 0 while it is busy:
        // the fuse and lock writes are judged once it is ready, and nothing is called locked.
        ChipCase{"SlowChipIsJudgedWhenReady", "ATmega16", "-pf1e4 -pfae1,d9,ff -gf -pl -plfe -gl",
                 programmed, "slow"},
        // A part that hangs right after the greeting reads ff throughout, as if the fuse of ff
        // had been written: the signature says otherwise.
        ChipCase{"FuseWrittenToAPartThatStoppedAnswering", "ATmega16", "-pf1ff", programmed,
                 muteAfter(0)},
        // The second pl connects (Programming Enable, three signature bytes); the part hangs
        // before the lock write.
        ChipCase{"LockWrittenToAPartThatStoppedAnswering", "ATmega16", "-pl -plff", programmed,
                 muteAfter(4)},
        // The reader of standard output goes away in the middle of a download (its 4096-byte
        // buffer fills while "Erase chip" is printed): the program stops at the next byte it
        // sends, releases the target, says so on standard error and ends with 128 + SIGPIPE.
        ChipCase{.name = "ReaderOfTheOutputGoesAway",
                 .device = "ATmega16",
                 .args = "-h -h -h " + mismatchNames + " -df$DATA/blink16.hex",
                 .files = programmed,
                 .output = Output::brokenPipe},
        // Without a standard output the next file opened would take its descriptor: the chip's
        // memory files, written to by everything printed.
        ChipCase{.name = "StandardOutputClosed",
                 .device = "ATmega16",
                 .args = "-i -gf -uf$DIR/up.hex",
                 .files = programmed,
                 .output = Output::closed}),
    caseName);
