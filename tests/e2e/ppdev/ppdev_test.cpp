// The built program with the Linux parallel-port library beside it, on a machine without a
// parallel port: the library says why once on standard error and the adapter shows as missing.
#include <gtest/gtest.h>

#include <filesystem>

#include "program_runner.h"

namespace fs = std::filesystem;
using namespace quillon::testing;

namespace {

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace

TEST(Ppdev, WithoutAPortTheLibraryExplainsOnceAndTheAdapterIsMissing) {
    if (fs::exists("/dev/parport0")) {
        GTEST_SKIP() << "this machine has /dev/parport0";
    }
    ProgramOptions options;
    options.args = {"-i", "-gf"};
    options.env["LD_LIBRARY_PATH"] = ""; // the library beside the program: build/libio.so
    const ProgramRun run = runProgram(QUILLON_PROGRAM, options);
    EXPECT_EQ(withoutDelayValue(run.out), "Delay parameter for 1 usec is N\n" + bannerText() +
                                              "\nTarvik not installed\n\nProgram finished!");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(occurrences(run.err, "io library: /dev/parport0 not found"), 1U) << run.err;
    EXPECT_EQ(occurrences(run.err, "\n"), 1U) << run.err; // one line, nothing else
}
