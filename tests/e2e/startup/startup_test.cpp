// SPDX-License-Identifier: MIT
// Start-up as a user sees it when the adapter can't be reached: unplugged (the simulated one),
// no parallel port (the Linux library beside the program), no GPIO chip (quillon-gpio), no io
// library, one the loader refuses, or one without the entry points the programmer calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

#include "program_runner.h"

namespace fs = std::filesystem;
using namespace quillon::testing;

TEST(Startup, WithoutAnAdapterTheProgramSaysWhyIgnoresItsArgumentsAndEndsNormally) {
    // A copy of the program in a folder of its own, where no libio.so sits beside it.
    const fs::path lonely =
        fs::temp_directory_path() / ("quillon-lonely-" + std::to_string(getpid()));
    fs::create_directories(lonely);
    fs::copy_file(QUILLON_PROGRAM, lonely / "quillon", fs::copy_options::overwrite_existing);
    // Another, beside a libio.so that is no library at all: the loader's own reason is shown.
    const fs::path misled = lonely / "misled";
    fs::create_directories(misled);
    fs::copy_file(QUILLON_PROGRAM, misled / "quillon", fs::copy_options::overwrite_existing);
    std::ofstream(misled / "libio.so") << std::string(100, '#') << " not a shared library\n";
    const std::string build = QUILLON_BUILD_DIR;
    // The program, its library folder, the line about the library, the start of standard error.
    for (const auto& [program, libraryPath, libraryLine, error] :
         std::vector<std::array<std::string, 4>>{
             {QUILLON_PROGRAM, build + "/sim", "", ""},
             {QUILLON_PROGRAM, "", "", "io library: /dev/parport0 not found"},
             {build + "/quillon-gpio", "", "", "io library: /dev/gpiochip0 not found"},
             {lonely / "quillon", "", "Port I/O library io not found (looked for libio.so)\n", ""},
             {misled / "quillon", "",
              "Port I/O library io can't be loaded: " + (misled / "libio.so").string() +
                  ": invalid ELF header\n",
              ""},
             {lonely / "quillon", build + "/tests/io_partial",
              "Port I/O library io lacks SetPortBit, ClrPortBit or GetPortBit\n", ""}}) {
        SCOPED_TRACE(std::string(program).append(" with ").append(libraryPath));
        const std::string device = error.empty() ? "" : error.substr(12, error.find(' ', 12) - 12);
        if (!device.empty() && fs::exists(device)) {
            continue; // this machine has the port or chip
        }
        ProgramOptions options;
        options.args = {"-i", "-gf", "-dfx.hex"}; // none of them runs
        options.env = {{"LD_LIBRARY_PATH", libraryPath}, {"QUILLON_SIM_FAULTS", "no-adapter"}};
        const ProgramRun run = runProgram(program, options);
        EXPECT_EQ(withoutDelayValue(run.out), "Delay parameter for 1 usec is N\n" + bannerText() +
                                                  libraryLine +
                                                  "\nTarvik not installed\n\nProgram finished!");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err.rfind(error, 0), 0U) << run.err; // said once, on one line
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), error.empty() ? 0 : 1);
    }
    fs::remove_all(lonely);
}
