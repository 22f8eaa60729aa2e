// SPDX-License-Identifier: MIT
// The progress bar as a user sees it: a flash download on the simulated chip draws and wipes the
// bar when standard error is a terminal, draws nothing on a pipe, and never touches standard
// output.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "program_runner.h"

namespace fs = std::filesystem;
using namespace quillon::testing;

TEST(Progress, ABarOnATerminalNothingOnAPipeAndStandardOutputUnchanged) {
    // One byte at the end of half an ATmega16's flash, the rest filled: the page waits of 8 KiB
    // take long enough for the bar to show.
    const fs::path hex =
        fs::temp_directory_path() / ("quillon-bar-" + std::to_string(getpid()) + ".hex");
    std::ofstream(hex) << ":011FFF005A87\n:00000001FF\n";
    ProgramOptions options;
    options.args = {"-sf00", "-df" + hex.string()};
    options.env["LD_LIBRARY_PATH"] = std::string(QUILLON_BUILD_DIR) + "/sim";
    const ProgramRun piped = runProgram(QUILLON_PROGRAM, options);
    options.errorOnTerminal = true;
    const ProgramRun shown = runProgram(QUILLON_PROGRAM, options);
    fs::remove(hex);

    EXPECT_NE(piped.out.find("Target matches "), std::string::npos) << piped.out;
    EXPECT_EQ(withoutDelayValue(shown.out), withoutDelayValue(piped.out));
    EXPECT_EQ(piped.err, "");
    ASSERT_NE(shown.err.find("\rProgramming flash ["), std::string::npos) << shown.err;
    EXPECT_NE(shown.err.find("/8192 bytes"), std::string::npos) << shown.err;
    // Every bar is wiped: the terminal ends with spaces between two returns.
    const std::size_t wipe = shown.err.rfind('\r', shown.err.size() - 2);
    EXPECT_EQ(shown.err.back(), '\r');
    EXPECT_EQ(shown.err.find_first_not_of(' ', wipe + 1), shown.err.size() - 1);
}
