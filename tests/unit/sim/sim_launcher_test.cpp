// SPDX-License-Identifier: MIT
// The launcher build/quillon-sim: it runs the program beside it with the simulated io library.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "program_runner.h"

namespace fs = std::filesystem;
using quillon::testing::ProgramOptions;
using quillon::testing::runProgram;

namespace {
const std::string launcher = std::string(QUILLON_BUILD_DIR) + "/quillon-sim";
}

TEST(SimLauncher, PassesEveryArgumentAndStandardInputThrough) {
    // A copy of the launcher beside a stand-in program that shows what it was given.
    const fs::path folder =
        fs::temp_directory_path() / ("quillon-launcher-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(launcher, folder / "quillon-sim");
    {
        std::ofstream standIn(folder / "quillon");
        standIn
            << "#!/bin/sh\nprintf '[%s]' \"$@\"; echo; echo \"$LD_LIBRARY_PATH\"; cat; exit 3\n";
    }
    fs::permissions(folder / "quillon", fs::perms::owner_all);
    ProgramOptions options;
    options.args = {"-dfa b.hex", "", "-s"};
    options.env = {{"LD_LIBRARY_PATH", "/elsewhere"}};
    options.input = "i\ne\n";
    const auto run = runProgram((folder / "quillon-sim").string(), options);
    EXPECT_EQ(run.status, 3);
    const std::string realFolder = fs::canonical(folder).string();
    EXPECT_EQ(run.out, "[-dfa b.hex][][-s]\n" + realFolder + "/sim:/elsewhere\ni\ne\n");
    fs::remove_all(folder);
}

TEST(SimLauncher, RunsTheProgramWithTheSimulatedLibrary) {
    ProgramOptions options;
    options.env = {{"QUILLON_SIM_FAULTS", "no-adapter"}, {"LD_LIBRARY_PATH", ""}};
    const auto run = runProgram(launcher, options);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\nTarvik not installed\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("not found"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
}
