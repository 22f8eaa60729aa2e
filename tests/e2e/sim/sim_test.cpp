// SPDX-License-Identifier: MIT
// The launcher build/quillon-sim: it runs the program beside it with the simulated io library.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "program_runner.h"

namespace fs = std::filesystem;
using quillon::testing::runProgram;

TEST(SimLauncher, PassesEveryArgumentAndStandardInputThrough) {
    // A copy of the launcher beside a stand-in program that shows what it was given.
    const fs::path folder =
        fs::temp_directory_path() / ("quillon-launcher-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(fs::path(QUILLON_BUILD_DIR) / "quillon-sim", folder / "quillon-sim");
    std::ofstream(folder / "quillon")
        << "#!/bin/sh\nprintf '[%s]' \"$@\"; echo; echo \"$LD_LIBRARY_PATH\"; cat; exit 3\n";
    fs::permissions(folder / "quillon", fs::perms::owner_all);
    const auto run =
        runProgram((folder / "quillon-sim").string(), {.args = {"-dfa b.hex", "", "-s"},
                                                       .env = {{"LD_LIBRARY_PATH", "/elsewhere"}},
                                                       .input = "i\ne\n"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out,
              "[-dfa b.hex][][-s]\n" + fs::canonical(folder).string() + "/sim:/elsewhere\ni\ne\n");
    fs::remove_all(folder);
}
