// SPDX-License-Identifier: MIT
// The GPIO io library run by the built program against a fake GPIO chip whose lines are wired to
// a simulated ATmega16 (tests/gpio-fake/libio.so): download with verification and upload.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "program_runner.h"

namespace fs = std::filesystem;
using namespace quillon::testing;

TEST(Gpio, TheProgramDownloadsVerifiesAndUploadsThroughTheGpioLines) {
    const fs::path folder =
        fs::temp_directory_path() / ("quillon-gpio-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string image = QUILLON_SOURCE_DIR "/tests/data/avr/blink16.hex";
    const std::string upload = (folder / "out.hex").string();
    // QUILLON_GPIO, and what the output shows after the banner.
    for (const auto& [config, shows] : std::vector<std::pair<std::string, std::string>>{
             {"", "Target ATmega16 responding"},
             {"enable=24,hold=0", "Target ATmega16 responding"},
             {"sck=12", "Target not responding"}}) {
        SCOPED_TRACE(config);
        fs::remove(upload);
        ProgramOptions options;
        options.args = {"-df" + image, "-uf" + upload};
        options.env = {{"LD_LIBRARY_PATH", QUILLON_BUILD_DIR "/tests/gpio-fake"},
                       {"QUILLON_GPIO", config}};
        options.timeout = std::chrono::seconds(120);
        const ProgramRun run = runProgram(QUILLON_PROGRAM, options);
        const std::string head = "Delay parameter for 1 usec is N\n" + bannerText() + shows;
        EXPECT_EQ(withoutDelayValue(run.out).substr(0, head.size()), head) << run.out;
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        if (shows.ends_with("not responding")) {
            continue;
        }
        EXPECT_NE(run.out.find("Target matches " + image + "\n"), std::string::npos) << run.out;
        // The same records; the upload writes its hex digits in lower case, with plain line ends.
        const auto records = [](const std::string& path) {
            std::ostringstream text;
            text << std::ifstream(path).rdbuf();
            std::string lines;
            for (const char c : text.str()) {
                lines += c == '\r' ? "" : std::string(1, static_cast<char>(std::tolower(c)));
            }
            return lines;
        };
        EXPECT_EQ(records(upload), records(image));
    }
    fs::remove_all(folder);
}
