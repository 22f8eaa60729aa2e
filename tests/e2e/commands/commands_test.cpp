// The target dialogue and the configuration commands as a user sees them, run against the
// simulated adapter and ATmega (build/sim/libio.so). The chip's fuses and lock byte are set up
// and checked through the simulator's state folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

#include "program_runner.h"

namespace fs = std::filesystem;
using namespace quillon::testing;

namespace {

const std::string program = QUILLON_PROGRAM;
const fs::path buildDir = QUILLON_BUILD_DIR;
const fs::path simLibrary = buildDir / "sim" / "libio.so";

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
const std::string atmega16Greeting = "Target ATmega16 responding - default fuses not set\n";

// Everything up to and including the greeting.
std::string opening(const std::string& greeting) {
    return "Delay parameter for 1 usec is N\n" + bannerText() + greeting;
}

struct SimulatedTarget : ::testing::Test {
    fs::path state;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        state = fs::temp_directory_path() /
                ("quillon-e2e-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(state);
        fs::create_directories(state);
    }
    void TearDown() override {
        if (!state.empty()) {
            fs::remove_all(state);
        }
    }

    // Gives the chip these fuse, lock and calibration values before the run.
    void setFuses(const std::string& lines) const { std::ofstream(state / "fuses.txt") << lines; }

    // The chip's fuse, lock and calibration values after the run, by name.
    [[nodiscard]] std::map<std::string, std::string> fuses() const {
        std::map<std::string, std::string> values;
        std::ifstream file(state / "fuses.txt");
        std::string line;
        while (std::getline(file, line)) {
            const auto equals = line.find('=');
            if (equals != std::string::npos) {
                values[line.substr(0, equals)] = line.substr(equals + 1);
            }
        }
        return values;
    }

    [[nodiscard]] ProgramRun run(const std::string& device, const std::vector<std::string>& args,
                                 const std::optional<std::string>& input = std::nullopt,
                                 const std::string& faults = "") const {
        ProgramOptions options;
        options.args = args;
        options.input = input;
        options.env["LD_LIBRARY_PATH"] = (buildDir / "sim").string();
        options.env["QUILLON_SIM_DEVICE"] = device;
        options.env["QUILLON_SIM_STATE"] = state.string();
        options.env["QUILLON_SIM_FAULTS"] = faults;
        options.env["QUILLON_SIM_TRACE"] = "";
        options.timeout = std::chrono::seconds(20);
        ProgramRun result = runProgram(program, options);
        EXPECT_FALSE(result.timedOut);
        result.out = withoutDelayValue(result.out);
        return result;
    }
};

// An ATmega16 with its factory fuses and a known calibration byte.
struct FactoryAtmega16 : SimulatedTarget {
    void SetUp() override {
        SimulatedTarget::SetUp();
        setFuses("low=e1\nhigh=99\nextended=ff\nlock=ff\ncalibration=a7\n");
    }
};

} // namespace

TEST_F(SimulatedTarget, GreetsAFreshAtmega16WhoseFactoryFusesAreNotTheDefaults) {
    const std::string expected = opening(atmega16Greeting) + closing;
    const ProgramRun r = run("ATmega16", {"gl", "h"}); // no '-': nothing runs
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);
}

TEST_F(SimulatedTarget, GreetsAnAtmega128HoldingItsDefaultFuses) {
    setFuses("low=8f\nhigh=cb\nextended=ff\n");
    const std::string expected =
        opening("Target ATmega128 responding - default fuses set\n") + "\n-" + closing;
    const ProgramRun r = run("ATmega128", {});
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);
}

TEST_F(SimulatedTarget, AMissingTargetIsReportedAndCommandsStillRun) {
    const std::string expected =
        opening("Target not responding to Enable Serial Programming command\n") +
        "Signature bytes: ff ff ff  Processor: Unrecognized signature\n"
        "Fuse lock byte ff\n" +
        closing;
    const ProgramRun r = run("ATmega16", {"-i", "-gl"}, std::nullopt, "no-target");
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);
}

TEST_F(SimulatedTarget, AnUnrecognisedPartIsNotGivenDefaultFuses) {
    setFuses("low=e1\nhigh=99\nextended=ff\n");
    const std::string expected =
        opening("Target Processor Unrecognized but responding - default fuses not set\n") +
        "Default fuses not written: target not recognised - check it with i\n"
        "Signature bytes: 1e 94 7  Processor: Unrecognized signature\n" +
        closing;
    const ProgramRun r = run("1e9407", {"-a", "-i"});
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fuses()["low"], "e1");
    EXPECT_EQ(fuses()["high"], "99");
}

TEST_F(FactoryAtmega16, PromptRunsSeveralWordsPerLineAndEndsAtEndOfInput) {
    const std::string expected = opening(atmega16Greeting) +
                                 "\n-"
                                 "Fuse lock byte ff\n-"
                                 "Calibration byte: a7\n-"
                                 "Fuse byte 1: e1\n-"
                                 "-"
                                 "Fuse bytes: ff 99 e1\n-"
                                 "-"
                                 "-" +
                                 closing;
    const ProgramRun r = run("ATmega16", {}, "gl gc\n  gf1 nv\nGF\n-h p\n");
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);
}

TEST_F(FactoryAtmega16, ExitEndsAtOnceWithStatusOne) {
    const std::string fromArgs = opening(atmega16Greeting) + "Calibration byte: a7\n";
    const ProgramRun args = run("ATmega16", {"-gc", "-exit", "-gl"});
    EXPECT_EQ(args.out, fromArgs);
    EXPECT_EQ(args.status, 1);

    const std::string fromPrompt = opening(atmega16Greeting) + "\n-Calibration byte: a7\n-";
    const ProgramRun prompt = run("ATmega16", {}, "gc e gl\n");
    EXPECT_EQ(prompt.out, fromPrompt);
    EXPECT_EQ(prompt.status, 1);
}

TEST_F(FactoryAtmega16, HelpFromTheCommandLineAndThePrompt) {
    const std::string fromArgs = opening(atmega16Greeting) + helpText + closing;
    EXPECT_EQ(run("ATmega16", {"-h"}).out, fromArgs);
    const std::string fromPrompt = opening(atmega16Greeting) + "\n-" + helpText + "-" + closing;
    EXPECT_EQ(run("ATmega16", {}, "help").out, fromPrompt);
}

TEST_F(FactoryAtmega16, IdentifyStatusFusesCalibrationAndLock) {
    const std::string expected = opening(atmega16Greeting) +
                                 "Signature bytes: 1e 94 3  Processor: ATmega16\n"
                                 "Processor: ATmega16\n"
                                 " Lock byte = ff    No locks bits activated\n"
                                 " Signature = 1e 94 3\n"
                                 " Fuse bytes = ff 99 e1\n"
                                 " Calibration byte =  a7\n"
                                 "Fuse bytes: ff 99 e1\n"
                                 "Fuse byte 2: 99\n"
                                 "Fuse byte 3: ff\n"
                                 "Calibration byte: a7\n"
                                 "Fuse lock byte ff\n" +
                                 closing;
    const ProgramRun r = run("ATmega16", {"-i", "-status", "-gf", "-gf2", "-gf3x", "-gc", "-gl"});
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);
}

TEST_F(FactoryAtmega16, SingleFuseWritesTakeEffectAndBadValuesWriteNothing) {
    const std::string expected =
        opening(atmega16Greeting) +
        "Write fuse byte 1: e4\n"
        "Fuse byte 2 not written: give its value in hexadecimal, as in pf299\n"
        "Write fuse byte 2: d9\n"
        "Fuse bytes not written: give low, high and extended fuse in hexadecimal, separated by "
        "commas, as in pfae1,99,fd\n"
        "Fuse bytes: ff d9 e4\n" +
        closing;
    const ProgramRun r = run("ATmega16", {"-pf1e4", "-pf2", "-pf2D9", "-pfa1,2", "-gf"});
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(fuses()["low"], "e4");
    EXPECT_EQ(fuses()["high"], "d9");
}

TEST_F(FactoryAtmega16, LockByteIsWrittenOnTheSecondEntryOnly) {
    const std::string expected = opening(atmega16Greeting) +
                                 "Fuse lock byte ff\n"
                                 "Write lock byte fc\n"
                                 "Fuse lock byte fc\n"
                                 "Processor: ATmega16\n"
                                 " Lock byte = fc\n"
                                 " Signature = 1e 94 3\n"
                                 " Fuse bytes = ff 99 e1\n"
                                 " Calibration byte =  a7\n" +
                                 closing;
    const ProgramRun r = run("ATmega16", {"-plfc", "-gl", "-plfc", "-gl", "-pl0", "-s"});
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(fuses()["lock"], "fc");
}

TEST_F(FactoryAtmega16, DefaultFusesAreWrittenExceptWhatTheSerialInterfaceCannotChange) {
    // The table's ATmega16 defaults are all ff; SPIEN (high fuse bit 5) stays programmed.
    const std::string expected = opening(atmega16Greeting) +
                                 "Write fuse bytes: ff ff ff\n"
                                 "Fuse bytes: ff df ff\n" +
                                 closing;
    const ProgramRun r = run("ATmega16", {"-abc", "-gf"});
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(fuses()["low"], "ff");
    EXPECT_EQ(fuses()["high"], "df");
}

TEST_F(SimulatedTarget, Atmega128DefaultFusesAreWrittenAndThenRecognised) {
    setFuses("low=e1\nhigh=99\nextended=fd\nlock=ff\ncalibration=a7\n");
    const std::string written = opening("Target ATmega128 responding - default fuses not set\n") +
                                "Write fuse bytes: ff cb 8f\n"
                                "Fuse bytes: ff cb 8f\n" +
                                closing;
    EXPECT_EQ(run("ATmega128", {"-a", "-gf"}).out, written);
    const std::map<std::string, std::string> after = fuses();
    EXPECT_EQ(after.at("low"), "8f");
    EXPECT_EQ(after.at("high"), "cb");
    EXPECT_EQ(after.at("extended"), "ff");

    const std::string greeted =
        opening("Target ATmega128 responding - default fuses set\n") + closing;
    EXPECT_EQ(run("ATmega128", {"x"}).out, greeted);
}

TEST_F(SimulatedTarget, AllThreeFusesAreWrittenOnAnAtmega128) {
    const std::string expected = opening("Target ATmega128 responding - default fuses not set\n") +
                                 "Write fuse bytes: bf d9 fc\n"
                                 "Fuse bytes: fc d9 bf\n" +
                                 closing;
    EXPECT_EQ(run("ATmega128", {"-pfa0xbf,0xd9,fc", "-gf"}).out, expected);
    EXPECT_EQ(fuses()["low"], "bf");
    EXPECT_EQ(fuses()["high"], "d9");
    EXPECT_EQ(fuses()["extended"], "fc");
}

TEST_F(FactoryAtmega16, OverlongWordsAreRefusedWhole) {
    const std::string refusal =
        "Command ignored: longer than 199 characters - use a shorter word or file name\n";
    const std::string tooLong = "-mf" + std::string(197, 'x'); // 200 characters
    const std::string fromArgs =
        opening(atmega16Greeting) + refusal + "Calibration byte: a7\n" + closing;
    EXPECT_EQ(run("ATmega16", {tooLong, "-gc"}).out, fromArgs);

    // The e's of the long word are not taken as an exit command.
    const std::string fromPrompt =
        opening(atmega16Greeting) + "\n-" + refusal + "-Calibration byte: a7\n-" + closing;
    const ProgramRun prompt = run("ATmega16", {}, "mf" + std::string(500, 'e') + " gc");
    EXPECT_EQ(prompt.out, fromPrompt);
    EXPECT_EQ(prompt.status, 0);
}
