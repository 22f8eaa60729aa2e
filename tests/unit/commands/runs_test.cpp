// SPDX-License-Identifier: MIT
// The commands as the prompt runs them on a simulated board: the command table, connecting and
// releasing the target, how long settings last, fuse and lock writes, the signature.
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "commands/settings.h"
#include "commands/state.h"
#include "device/device.h"
#include "session.h"

namespace q = quillon;
using q::testing::scratchFile;
using q::testing::Session;

namespace {

// Both reset lines high, both halves of the line buffer off, and the part out of programming.
bool released(Session& s) {
    return q::Link.targetReleased == 1 && (0xCC & s.port.board().in(q::dataPort)) == 0xCC &&
           !s.port.board().programmingEnabled();
}

// Runs the word and expects what it prints, the target released afterwards, and whether the
// word reached the target: connecting it (which every word but the first finds released) takes
// the waits for the part to wake, so the clock moves on; a word that stays local leaves it be.
void expectRun(Session& s, const std::string& word, const std::string& out, bool reaches) {
    const auto before = s.port.clock().now();
    EXPECT_EQ(s.run(word), out) << word;
    EXPECT_TRUE(released(s)) << word;
    EXPECT_EQ(s.port.clock().now() > before, reaches) << word;
}

void expectFusesGoToTheirOwnFuse(q::sim::Level level) {
    Session s("ATmega128", {}, level);
    const std::vector<std::tuple<std::string, std::string, uint32_t, char>> cases{
        {"gf", "Fuse bytes: fd 99 e1\n", 0xE199FD, 'n'}, // as new
        {"PFAe4,D9,fe", "Write fuse bytes: e4 d9 fe\n", 0xE4D9FE, 'n'},
        {"abc", "Write fuse bytes: ff cb 8f\n", 0x8FCBFF, 'd'},
        {"Pf1 8e", "Write fuse byte 1: 8e\n", 0x8ECBFF, 'n'},
        {"pF18f", "Write fuse byte 1: 8f\n", 0x8FCBFF, 'd'},
        {"PF2cf", "Write fuse byte 2: cf\n", 0x8FCFFF, 'n'},
        {"pf2CB", "Write fuse byte 2: cb\n", 0x8FCBFF, 'd'},
        {"pF3fe", "Write fuse byte 3: fe\n", 0x8FCBFE, 'n'}};
    for (const auto& [word, out, fuses, verdict] : cases) {
        expectRun(s, word, out, true);
        const q::sim::Chip& chip = s.chip();
        EXPECT_EQ(chip.lowFuse << 16 | chip.highFuse << 8 | chip.extendedFuse, fuses) << word;
        q::connectTarget();
        EXPECT_EQ(q::defaultFusesSet(), q::DefaultFuses{verdict}) << word;
        q::releaseTarget();
    }
}

} // namespace

// A word runs the first row of the table whose letters begin it, whatever their case; only the
// words that talk to the target connect it. v, nv, sf and mf hold through other commands until
// a download or upload has finished, and through a load made with verification off; t2 and t4
// for good. An ATmega48 as new (fuses 62 df ff, calibration a7) with one flash byte programmed.
TEST(Commands, TheFirstRowInTableOrderRunsWithoutRegardToCaseAndSettingsLastAsLongAsTheyShould) {
    Session s("ATmega48");
    s.chip().flash[0x10] = 0x00;
    const std::string up = scratchFile("up.hex", "");
    const std::string big = scratchFile("big.hex", ":0110000000EF");
    const std::string bigEeprom = scratchFile("big.eep", ":0101000000FE");
    const std::string one = scratchFile("one.hex", ":01000000FF00\n"); // ff at address 0
    const std::string upEeprom = scratchFile("up.eep", "");
    const std::string flash = "Read 4096 target flash bytes\n";
    const std::string to = "Write Flash/EEPROM data to ";
    const std::string erased = "load file length = 1\nErase chip\nProgramming\n1 bytes written "
                               "to target\n";
    const std::string verify = "Read back target to verify\n";
    const std::string use = ", use a file made for this device\n";
    const std::string eeprom = "load file length = 1\nProgramming\nBytes written to target 1\n";
    const std::vector<std::tuple<std::string, std::string, bool>> words{
        {"GF1x", "Fuse byte 1: 62\n", true}, // the target held since the greeting
        {"m", "", false},
        {"gF2", "Fuse byte 2: df\n", true},
        {"gf3", "Fuse byte 3: ff\n", true},
        {"Gf4", "Fuse bytes: ff df 62\n", true},
        {"SF0X1f", "Fill char=1f\n", false},
        {"gc", "Calibration byte: a7\n", true},
        {"I", "Signature bytes: 1e 92 5  Processor: ATmega48\n", true},
        {"MfX.txt", "Mismatch filename=X.txt\n", false},
        {"T2", "", false},
        {"sf", "Fill char=1f\n", false},
        {"UF" + up, flash + "Last data value in buffer = 11 17\n" + to + up + "\n", true},
        {"sf", "Fill char=ff\n", false},
        {"sf1", "Fill char=1\n", false},
        {"uE" + upEeprom, "Read 256 target EEPROM bytes\n" + to + upEeprom + "\n", true},
        {"sf", "Fill char=ff\n", false},
        {"dF" + big,
         "load file length = 4097\nERROR - The image of 4097 bytes is larger than "
         "the 4096-byte flash of the ATmega48: chip not erased" +
             use,
         true},
        {"De" + bigEeprom,
         "load file length = 257\nERROR - The image of 257 bytes is larger "
         "than the 256-byte EEPROM of the ATmega48: nothing written" +
             use,
         true},
        {"sf", "Fill char=ff\n", false},
        {"NV", "", false},
        {"gl", "Fuse lock byte ff\n", true},
        {"df" + one, erased, true},
        {"Df" + one, erased + verify + flash + "Target matches " + one + "\n", true},
        {"nvx", "", false},
        {"sf4", "Fill char=4\n", false},
        {"LD" + one, "", false},
        {"sf", "Fill char=4\n", false},
        {"dE" + one, eeprom, true},
        {"sf", "Fill char=ff\n", false},
        {"sf5", "Fill char=5\n", false},
        {"ld" + one, "", false},
        {"sf", "Fill char=ff\n", false},
        {"de" + one, eeprom + verify + "Read 256 target EEPROM bytes\nTarget matches " + one + "\n",
         true},
        {"GL", "Fuse lock byte ff\n", true},
        {"pl3e", "", true}, // only every second pl writes, whatever comes between
        {"gl", "Fuse lock byte ff\n", true},
        {"Pl3e", "Write lock byte 3e\n", true},
        {"gl", "Fuse lock byte fe\n", true},
        {"pl", "", true},
        {"pL", "Lock byte not written: give its value in hexadecimal, as in pl3f\n", true}};
    for (const auto& [word, out, reaches] : words) {
        expectRun(s, word, out, reaches);
    }
    EXPECT_EQ(q::Process.settings.addressRecordType, q::AddressRecordType::segment);
    EXPECT_EQ(q::Process.settings.mismatchFileName, "");
    std::istringstream silent("V t2 T4 q lf/dev/null p pf pf4 n t t3 g -h");
    for (std::string word; silent >> word;) {
        expectRun(s, word, "", false);
    }
    EXPECT_EQ(q::Process.settings.addressRecordType, q::AddressRecordType::linear);
    std::ifstream file(up);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}),
              ":10000000ffffffffffffffffffffffffffffffff00\n:0100100000ef\n:00000001FF\n");
}

// Each fuse byte goes to its own fuse, and the greeting's verdict compares all three with the
// defaults: an ATmega128's are low 8f, high cb, extended ff (its extended fuse has bits 1, 0).
// On both levels of the simulated library.
TEST(Commands, EachFuseByteGoesToItsOwnFuseAndAllThreeDecideTheDefaults) {
    for (const q::sim::Level level : {q::sim::Level::bit, q::sim::Level::instruction}) {
        expectFusesGoToTheirOwnFuse(level);
    }
}

// A lock byte written through either level restricts the chip as it says, and only a chip
// erase lifts it.
TEST(Commands, LockBytesWrittenOnEitherLevelHold) {
    for (const q::sim::Level level : {q::sim::Level::bit, q::sim::Level::instruction}) {
        Session s("ATmega328P", {}, level);
        const std::string image = scratchFile("lock.hex", ":0100000055AA\n");
        EXPECT_EQ(s.run("pl3c"), "");
        EXPECT_EQ(s.run("pl3c"), "Write lock byte 3c\n");
        EXPECT_EQ(s.chip().lock & 0x3F, 0x3C);
        EXPECT_TRUE(s.run("uf/dev/null").starts_with("ERROR - The chip is read-protected"));
        EXPECT_TRUE(s.run("df" + image).ends_with("Target matches " + image + "\n"));
        EXPECT_EQ(s.chip().lock & 0x3F, 0x3F);
        EXPECT_EQ(s.chip().flash[0], 0x55);
    }
}

// A part is known by all three of its signature bytes (these differ from an ATmega16's in one).
TEST(Commands, AllThreeSignatureBytesDecide) {
    for (const char* signature : {"1f9403", "1e9303", "1e9407"}) {
        EXPECT_EQ(Session(signature).greeting,
                  "Target Processor Unrecognized but responding - default fuses not set\n");
    }
}

// Either dialogue ends with the target released, also when no word ran; so does a word too
// long to run.
TEST(Commands, TheDialogueAndAWordTooLongEndWithTheTargetReleased) {
    Session s("ATmega48");
    q::runArguments(1, nullptr);
    EXPECT_TRUE(released(s));
    q::connectTarget();
    std::FILE* const empty = std::fopen("/dev/null", "r");
    EXPECT_EQ(q::testing::printed([&] { q::runPrompt(empty); }), "\n-");
    std::fclose(empty);
    EXPECT_TRUE(released(s));
    q::connectTarget();
    EXPECT_EQ(s.run(std::string(200, 'i')),
              "Command ignored: longer than 199 characters - use a shorter word or file name\n");
    EXPECT_TRUE(released(s));
}

// A part ten times slower than the data sheet (its clock stands still but for the program's
// waits, so it is still busy writing when the read-back begins) reads back as the echo of the
// instructions, not as its memory: the verification fails, and the signature, read again once the
// part is ready, shows it still answers.
TEST(SlowChip, IsNotCalledSilentWhileItIsStillBusy) {
    q::sim::Faults slow;
    slow.slow = true;
    Session s("ATmega16", slow);
    const std::string file = scratchFile("slow.eep", ":0400000001020304F2\n");
    const std::string out = s.run("de" + file);
    EXPECT_NE(out.find("ERROR - Target does not match " + file), std::string::npos) << out;
    EXPECT_EQ(out.find("stopped answering"), std::string::npos) << out;
    EXPECT_EQ(s.run("pf1e4"), "Write fuse byte 1: e4\n");
    EXPECT_EQ(s.chip().lowFuse, 0xE4);
}
