// SPDX-License-Identifier: MIT
// The GPIO io library run by the built program against the fake GPIO chip wired to a simulated
// ATmega16 (tests/io_gpio_fake/libio.so), with a buffer enable line: a download with verification
// and an upload. (tests/e2e/startup runs it without a GPIO chip.)
#include <gtest/gtest.h>

#include <filesystem>

#include "program_runner.h"

TEST(Gpio, TheProgramDownloadsVerifiesAndUploadsThroughTheGpioLines) {
    const std::string image = QUILLON_SOURCE_DIR "/tests/data/avr/blink16.hex";
    const std::string upload = testing::TempDir() + "quillon-gpio-" + std::to_string(getpid());
    quillon::testing::ProgramOptions options;
    options.args = {"-df" + image, "-uf" + upload};
    options.env = {{"LD_LIBRARY_PATH", QUILLON_BUILD_DIR "/tests/io_gpio_fake"},
                   {"QUILLON_GPIO", "enable=24"}};
    const auto run = quillon::testing::runProgram(QUILLON_PROGRAM, options);
    EXPECT_NE(run.out.find("Target ATmega16 responding"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Target matches " + image + "\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(quillon::testing::hexRecords(upload), quillon::testing::hexRecords(image));
    std::filesystem::remove(upload);
}
