// SPDX-License-Identifier: MIT
// Helpers shared by the memory tests: a scratch folder and whole files. Their fixtures start from
// resetProcessState (commands/state.h).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "commands/settings.h"
#include "commands/state.h"
#include "device/device.h"

namespace quillon::testing {

// A folder of this test process's own, removed with everything in it afterwards.
struct ScratchDir {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("quillon-" + std::to_string(getpid()));
    ScratchDir() { std::filesystem::create_directories(path); }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    [[nodiscard]] std::string file(const std::string& name) const { return (path / name).string(); }
};

inline std::string readFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

inline constexpr int32_t atmega16 = 0;
inline constexpr int32_t atmega48 = 2;
inline constexpr int32_t atmega644 = 5;

} // namespace quillon::testing
