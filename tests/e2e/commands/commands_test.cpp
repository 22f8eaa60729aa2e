// SPDX-License-Identifier: MIT
// The target dialogue and the configuration commands as a user sees them, run against the
// simulated adapter and ATmega (build/sim/libio.so), whose fuses, lock and calibration byte live
// in fuses.txt of its state folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "program_runner.h"

namespace fs = std::filesystem;
using namespace quillon::testing;

namespace {

const std::string helpText =
    "Command options:\n\n"
    "  -d[f|e]filename - download Hex file to target flash/eeprom using 'filename'\n"
    "  -u[f|e]filename - upload target flash/eeprom contents to 'filename'\n"
    "  -sfxx       - Set fill character - default 0xFF\n"
    "  -pl         - Program lock byte - enter twice to activate\n"
    "  -gl         - Get lock byte\n"
    "  -pfa        - Program all 3 fuse bytes\n"
    "  -gf         - Get fuse bytes\n"
    "  -pf[1|2|3]  - Program fuse byte 1,2 or 3\n"
    "  -gf[1|2|3]  - Get fuse byte 1,2 or 3\n"
    "  -gc         - Get calibration byte\n"
    "  -i          - Identify target processor\n"
    "  -s          - Get target processor statistics\n"
    "  -a          - Automatically program fuse bits with defaults\n"
    "  -nv         - Don't verify target\n"
    "  -h          - output help menu\n\n"
    "  Supported AVRs: ATmega48,ATmega88,ATmega168,ATmega16,ATmega32,ATmega128.\n"
    "  Command line commands require preceeding '-' interactive commands don't.\n"
    "  Leave white space between commands.\n\n";

const std::string closing = "\nProgram finished!";
const std::string refusal =
    "Command ignored: longer than 199 characters - use a shorter word or file name\n";
const std::string factory = "low=e1\nhigh=99\nextended=ff\nlock=ff\ncalibration=a7\n";

// Everything up to and including the greeting "Target ...".
std::string opening(const std::string& greeting) {
    return "Delay parameter for 1 usec is N\n" + bannerText() + "Target " + greeting + "\n";
}

const std::string atmega16 = opening("ATmega16 responding - default fuses not set");

struct Commands : ::testing::Test {
    const fs::path state = fs::temp_directory_path() / ("quillon-e2e-" + std::to_string(getpid()));

    void TearDown() override { fs::remove_all(state); }

    // Runs the program against a simulated chip of the given kind, which starts from `fuses`
    // (fuses.txt's text), or from the state the run before left when that is empty.
    ProgramRun run(const std::string& device, const std::vector<std::string>& args,
                   const std::string& fuses, const std::optional<std::string>& input = {},
                   const std::string& faults = "") {
        if (!fuses.empty()) {
            fs::remove_all(state);
            fs::create_directories(state);
            std::ofstream(state / "fuses.txt") << fuses;
        }
        ProgramOptions options{args, {{"QUILLON_SIM_DEVICE", device}}, input};
        options.env["LD_LIBRARY_PATH"] = (fs::path(QUILLON_BUILD_DIR) / "sim").string();
        options.env["QUILLON_SIM_STATE"] = state.string();
        options.env["QUILLON_SIM_FAULTS"] = faults;
        ProgramRun result = runProgram(QUILLON_PROGRAM, options);
        EXPECT_FALSE(result.timedOut);
        result.out = withoutDelayValue(result.out);
        return result;
    }

    // The chip's fuses.txt after the run.
    [[nodiscard]] std::string chip() const {
        std::ostringstream text;
        text << std::ifstream(state / "fuses.txt").rdbuf();
        return text.str();
    }
};

} // namespace

TEST_F(Commands, ConfigurationOfAnAtmega16FromTheCommandLineUpToExit) {
    // "0x" without a digit is no value; a fuse written into the locked chip is read back.
    std::vector<std::string> args{"gl",   "-i",     "-status", "-gf2",   "-gf3x", "-gc",   "-pf1e4",
                                  "-pf2", "-pf2D9", "-pfa1,2", "-abc",   "-plfc", "-gl",   "-plfc",
                                  "-pl0", "-pl0x",  "-sf0x",   "-pf10x", "-s",    "-pf2d9"};
    // 199 characters are taken, 200 refused; "exit" ends the program before the last word.
    args.insert(args.end(),
                {"-mf" + std::string(196, 'x'), "-mf" + std::string(197, 'x'), "-exit", "-gl"});
    const std::string expected =
        atmega16 +
        "Signature bytes: 1e 94 3  Processor: ATmega16\n"
        "Processor: ATmega16\n"
        " Lock byte = ff    No locks bits activated\n"
        " Signature = 1e 94 3\n"
        " Fuse bytes = ff 99 e1\n"
        " Calibration byte =  a7\n"
        "Fuse byte 2: 99\n"
        "Fuse byte 3: ff\n"
        "Calibration byte: a7\n"
        "Write fuse byte 1: e4\n"
        "Fuse byte 2 not written: give its value in hexadecimal, as in pf299\n"
        "Write fuse byte 2: d9\n"
        "Fuse bytes not written: give low, high and extended fuse in hexadecimal, separated by "
        "commas, as in pfae1,99,fd\n"
        "Write fuse bytes: ff ff ff\n" // but SPIEN (high fuse bit 5) stays programmed
        "Fuse lock byte ff\n"
        "Write lock byte fc\n"
        "Lock byte not written: give its value in hexadecimal, as in pl3f\n"
        "Fill char not changed: give it in hexadecimal, as in sf00\nFill char=ff\n"
        "Fuse byte 1 not written: give its value in hexadecimal, as in pf1e1\n"
        "Processor: ATmega16\n"
        " Lock byte = fc\n"
        " Signature = 1e 94 3\n"
        " Fuse bytes = ff df ff\n"
        " Calibration byte =  a7\n"
        "Write fuse byte 2: d9\nERROR - Fuse byte 2 reads back df, not the d9 written: the chip "
        "is locked (lock byte fc), and only a chip erase, which every df does, unlocks it; then "
        "write the fuse again\n"
        "Mismatch filename=" +
        std::string(196, 'x') + "\n" + refusal; // no closing line: "exit" ends the program
    const ProgramRun r = run("ATmega16", args, factory);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(chip(), "low=ff\nhigh=df\nextended=ff\nlock=fc\ncalibration=a7\n");
}

TEST_F(Commands, ThePromptTakesSeveralWordsPerLineUntilItsInputEnds) {
    // A word of 200 characters is refused whole: its last 'e' is not taken as "exit".
    const std::string input = "gl\tgc\n  gf1 nv\r\nGF\n-h p\nh mf" + std::string(197, 'e') + " mf" +
                              std::string(198, 'e') + " gl\n";
    const std::string expected = atmega16 +
                                 "\n-Fuse lock byte ff\n"
                                 "-Calibration byte: a7\n"
                                 "-Fuse byte 1: e1\n"
                                 "--Fuse bytes: ff 99 e1\n"
                                 "---" +
                                 helpText + "-Mismatch filename=" + std::string(197, 'e') + "\n-" +
                                 refusal + "-Fuse lock byte ff\n-" + closing;
    const ProgramRun r = run("ATmega16", {}, factory, input);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);
}

TEST_F(Commands, Atmega128FusesAreWrittenAndItsDefaultsThenRecognised) {
    const std::string written = opening("ATmega128 responding - default fuses not set") +
                                "Write fuse bytes: bf d9 fc\n"
                                "Fuse bytes: fc d9 bf\n"
                                "Write fuse bytes: ff cb 8f\n" +
                                closing;
    // Only the low fuse differs from the defaults.
    const std::string fuses = "low=8e\nhigh=cb\nextended=ff\nlock=ff\ncalibration=a7\n";
    EXPECT_EQ(run("ATmega128", {"-pfa0xbf,0xd9,fc", "-gf", "-a"}, fuses).out, written);
    EXPECT_EQ(chip(), "low=8f\nhigh=cb\nextended=ff\nlock=ff\ncalibration=a7\n");
    EXPECT_EQ(run("ATmega128", {}, "").out,
              opening("ATmega128 responding - default fuses set") + "\n-" + closing);
}

TEST_F(Commands, AMissingOrUnrecognisedTargetIsSaidSoAndGivenNoDefaults) {
    const std::string missing = opening("not responding to Enable Serial Programming command") +
                                "Signature bytes: ff ff ff  Processor: Unrecognized signature\n"
                                "Fuse lock byte ff\n" +
                                closing;
    EXPECT_EQ(run("ATmega16", {"-i", "-gl"}, factory, {}, "no-target").out, missing);

    const std::string unrecognised =
        opening("Processor Unrecognized but responding - default fuses not set") +
        "Default fuses not written: target not recognised - check it with i\n"
        "Signature bytes: 1e 94 7  Processor: Unrecognized signature\n" +
        closing;
    EXPECT_EQ(run("1e9407", {"-a", "-i"}, factory).out, unrecognised);
    EXPECT_EQ(chip(), factory);
}
