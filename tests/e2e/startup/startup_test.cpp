// Start-up as a user sees it, with stand-in io libraries or none at all.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "program_runner.h"

namespace fs = std::filesystem;
using namespace quillon::testing;

namespace {

const std::string program = QUILLON_PROGRAM;
const fs::path buildDir = QUILLON_BUILD_DIR;

std::string expectedAbsent(const std::string& libraryLine) {
    return "Delay parameter for 1 usec is N\n" + bannerText() + libraryLine +
           "\nTarvik not installed\n\nProgram finished!";
}

// A copy of the program in a folder of its own, where no libio.so sits beside it.
struct LonelyProgram {
    LonelyProgram()
        : dir(fs::temp_directory_path() / ("quillon-lonely-" + std::to_string(getpid()))),
          path(dir / "quillon") {
        fs::create_directories(dir);
        fs::copy_file(program, path, fs::copy_options::overwrite_existing);
    }
    ~LonelyProgram() { fs::remove_all(dir); }
    fs::path dir;
    fs::path path;
};

} // namespace

TEST(Startup, AdapterAbsentWhateverTheArguments) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"-h", "-dfx.hex", "-e"}}) {
        ProgramOptions options;
        options.args = args;
        options.env["LD_LIBRARY_PATH"] = (buildDir / "tests/io-unwired").string();
        const ProgramRun run = runProgram(program, options);
        EXPECT_EQ(withoutDelayValue(run.out), expectedAbsent(""));
        EXPECT_EQ(run.status, 0);
        EXPECT_FALSE(run.timedOut);
    }
}

TEST(Startup, MissingLibraryIsNamedAndTheProgramEndsNormally) {
    LonelyProgram lonely;
    ProgramOptions options;
    options.env["LD_LIBRARY_PATH"] = "";
    const ProgramRun run = runProgram(lonely.path.string(), options);
    EXPECT_EQ(withoutDelayValue(run.out),
              expectedAbsent("Port I/O library io not found (looked for libio.so)\n"));
    EXPECT_EQ(run.status, 0);
}

TEST(Startup, LibraryWithoutTheBitEntryPointsCountsAsNoAdapter) {
    LonelyProgram lonely;
    ProgramOptions options;
    options.env["LD_LIBRARY_PATH"] = (buildDir / "tests/io-partial").string();
    const ProgramRun run = runProgram(lonely.path.string(), options);
    EXPECT_EQ(withoutDelayValue(run.out),
              expectedAbsent("Port I/O library io lacks SetPortBit, ClrPortBit or GetPortBit\n"));
    EXPECT_EQ(run.status, 0);
}

TEST(Startup, DelayParameterIsAPositiveNumber) {
    ProgramOptions options;
    options.env["LD_LIBRARY_PATH"] = (buildDir / "tests/io-unwired").string();
    const ProgramRun run = runProgram(program, options);
    int units = 0;
    ASSERT_EQ(std::sscanf(run.out.c_str(), "Delay parameter for 1 usec is %d\n", &units), 1);
    EXPECT_GT(units, 0);
}

TEST(Startup, ProgramFindsItsLibraryThroughRunpathNotRpath) {
    // RUNPATH lets LD_LIBRARY_PATH win over the program's own folder; the old RPATH would not.
    ProgramOptions options;
    options.args = {"-d", program};
    const ProgramRun run = runProgram("/usr/bin/readelf", options);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("(RUNPATH)            Library runpath: [$ORIGIN]"), std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("(RPATH)"), std::string::npos);
}
