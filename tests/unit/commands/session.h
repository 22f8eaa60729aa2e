// SPDX-License-Identifier: MIT
// A simulated board in process (SimulatedPort), on either level, greeted as at start-up, on which
// command words run one at a time as the prompt runs them, with what each prints captured; and
// scratch files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "commands/commands.h"
#include "commands/dialogue.h"
#include "commands/state.h"
#include "simulated_port.h"

namespace quillon::testing {

// Runs f with standard output captured and returns what it printed.
template <typename F>
std::string printed(F&& f) {
    ::testing::internal::CaptureStdout();
    f();
    return ::testing::internal::GetCapturedStdout();
}

// A folder of this test process's own, removed when the process ends.
inline const struct ScratchFolder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("quillon-" + std::to_string(getpid()));
    ScratchFolder() { std::filesystem::create_directories(path); }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
} scratch;

// A file of the scratch folder holding text, by its path.
inline std::string scratchFile(const std::string& name, const std::string& text) {
    std::string path = (scratch.path / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

struct Session {
    explicit Session(std::string device, sim::Faults faults = {},
                     sim::Level level = sim::Level::bit)
        : port([&] {
              sim::Config config;
              config.device = std::move(device);
              config.faults = std::move(faults);
              config.level = level;
              return config;
          }()) {
        resetProcessState();
        greeting = printed([] {
            if (adapterPresent() != 0) {
                greetTarget();
            }
        });
    }
    // NOLINTNEXTLINE(readability-convert-member-functions-to-static): this session's word
    std::string run(const std::string& word) {
        return printed([&] { (void)interpretCommand(word); });
    }
    sim::Chip& chip() { return port.board().chip(); }

    SimulatedPort port;
    std::string greeting;
};

} // namespace quillon::testing
