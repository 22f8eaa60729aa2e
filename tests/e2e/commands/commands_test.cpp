// SPDX-License-Identifier: MIT
// The target dialogue and the configuration commands as a user sees them, from the command line
// and at the prompt, on the simulated ATmega whose fuses, lock and calibration byte live in
// chip/fuses.txt; transcripts in expected/.
#include "simulated_chip.h"

using namespace quillon::testing;

namespace {

std::map<std::string, std::string> fuses(const std::string& low) {
    return {{"chip/fuses.txt", "low=" + low + "\nhigh=" + (low == "e1" ? "99" : "cb") +
                                   "\nextended=ff\nlock=ff\ncalibration=a7\n"}};
}

// "0x" without a digit is no value; a fuse written into the locked chip is read back. 199
// characters are taken, 200 refused; "exit" ends the program before the last word.
const std::string configuration = "gl -i -status -gf2 -gf3x -gc -pf1e4 -pf2 -pf2D9 -pfa1,2 -abc "
                                  "-plfc -gl -plfc -pl0 -pl0x -sf0x -pf10x -s -pf2d9 -mf" +
                                  std::string(196, 'x') + " -mf" + std::string(197, 'x') +
                                  " -exit -gl";

// A word of 200 characters is refused whole: its last 'e' is not taken as "exit".
const std::string promptInput = "gl\tgc\n  gf1 nv\r\nGF\n-h p\nh mf" + std::string(197, 'e') +
                                " mf" + std::string(198, 'e') + " gl\n";

} // namespace

TEST_P(Transcript, OfTheCommands) {
    expectTranscript(GetParam(), QUILLON_SOURCE_DIR "/tests/e2e/commands/expected");
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Transcript,
    ::testing::Values(
        ChipCase{"ConfigurationOfAnAtmega16UpToExit", "ATmega16", configuration, fuses("e1")},
        ChipCase{"PromptTakesSeveralWordsPerLineUntilItsInputEnds", "ATmega16", "", fuses("e1"), "",
                 promptInput},
        // Only the low fuse differs from the defaults; "a" writes them, the next run greets them.
        ChipCase{"Atmega128FusesWritten", "ATmega128", "-pfa0xbf,0xd9,fc -gf -a", fuses("8e")},
        ChipCase{"Atmega128DefaultsRecognised", "ATmega128", "", fuses("8f")},
        ChipCase{"MissingTarget", "ATmega16", "-i -gl", fuses("e1"), "no-target"},
        // Only identification reaches an unrecognised part: no memory instruction, no file, no
        // fuse; the settings are reset after each command all the same.
        ChipCase{"UnrecognisedTargetIsLeftAlone", "1e9407",
                 "-a -i -sf00 -df$DATA/blink16.hex -de$DATA/blink16_eeprom.hex -uf$DIR/never.hex "
                 "-ue$DIR/never.hex -sf",
                 fuses("e1")},
        // The ATmega32 has no extended fuse: nothing is sent for it (no "ac a4" instruction).
        ChipCase{"NoExtendedFuseOnAnAtmega32", "ATmega32", "-pf3fd -pfae1,d9,fd -gf -a",
                 fuses("e1")}),
    caseName);
