// SPDX-License-Identifier: MIT
// A simulated chip kept in a state folder of its own, for end-to-end tests that run the built
// program on build/sim/libio.so: the folder, the chip's files, a run of the program with the
// chip's part and faults, and a check that the state files are whole and agree with what the
// program reads from the chip afterwards. Header-only: include it after program_runner.h.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/hex_reader.h"
#include "image/image.h"
#include "program_runner.h"

namespace quillon::testing {

inline std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeWholeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The bytes an Intel HEX file holds from address 0 to its load length.
inline std::string hexFileBytes(const std::filesystem::path& path) {
    const HexLoad load = readHexText(readWholeFile(path), 0xFF);
    return {ImageBuffer.begin(), ImageBuffer.begin() + load.loadLength};
}

// bytes without their trailing 0xFF bytes.
inline std::string withoutErasedTail(const std::string& bytes) {
    const auto last = bytes.find_last_not_of('\xFF');
    return last == std::string::npos ? std::string() : bytes.substr(0, last + 1);
}

class SimulatedChip {
  public:
    SimulatedChip(std::string device, int flashBytes, int eepromBytes)
        : device_(std::move(device)), flashBytes_(flashBytes), eepromBytes_(eepromBytes) {
        folder_ = std::filesystem::temp_directory_path() /
                  ("quillon-chip-" + std::to_string(getpid()) + "-" + std::to_string(++count_));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_ / "chip");
    }
    ~SimulatedChip() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    SimulatedChip(const SimulatedChip&) = delete;
    SimulatedChip& operator=(const SimulatedChip&) = delete;

    [[nodiscard]] std::filesystem::path file(const std::string& name) const {
        return folder_ / name;
    }
    [[nodiscard]] std::string flash() const { return readWholeFile(folder_ / "chip/flash.bin"); }
    [[nodiscard]] std::string eeprom() const { return readWholeFile(folder_ / "chip/eeprom.bin"); }
    [[nodiscard]] std::string fuses() const { return readWholeFile(folder_ / "chip/fuses.txt"); }

    // Runs the program with these arguments and QUILLON_SIM_FAULTS=faults. The program must
    // end normally (status 0) within the time limit, whatever the fault.
    ProgramRun run(const std::vector<std::string>& args, const std::string& faults = "",
                   std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
        ProgramOptions options;
        options.args = args;
        options.env["LD_LIBRARY_PATH"] =
            (std::filesystem::path(QUILLON_BUILD_DIR) / "sim").string();
        options.env["QUILLON_SIM_DEVICE"] = device_;
        options.env["QUILLON_SIM_STATE"] = (folder_ / "chip").string();
        options.env["QUILLON_SIM_FAULTS"] = faults;
        options.env["QUILLON_SIM_TRACE"] = "";
        options.timeout = timeout;
        ProgramRun result = runProgram(QUILLON_PROGRAM, options);
        EXPECT_FALSE(result.timedOut) << result.out;
        EXPECT_EQ(result.status, 0) << result.out << result.err;
        EXPECT_EQ(result.err, "");
        return result;
    }

    // The state files are whole (memories of the part's sizes, five fuse lines) and say what
    // the program reads from the chip in a run without faults.
    void expectConsistent() {
        const std::string flashBytes = flash();
        const std::string eepromBytes = eeprom();
        ASSERT_EQ(flashBytes.size(), static_cast<std::size_t>(flashBytes_));
        ASSERT_EQ(eepromBytes.size(), static_cast<std::size_t>(eepromBytes_));
        const std::string fuseText = fuses();
        for (const char* line : {"low=", "\nhigh=", "\nextended=", "\nlock=", "\ncalibration="}) {
            EXPECT_NE(fuseText.find(line), std::string::npos) << fuseText;
        }
        const std::filesystem::path flashHex = file("consistency-flash.hex");
        const std::filesystem::path eepromHex = file("consistency-eeprom.hex");
        const ProgramRun check = run({"-uf" + flashHex.string(), "-ue" + eepromHex.string()});
        ASSERT_TRUE(std::filesystem::exists(flashHex)) << check.out;
        // An erased memory uploads whole; anything else up to its last byte that isn't 0xFF.
        const auto uploaded = [](const std::string& memory) {
            const std::string trimmed = withoutErasedTail(memory);
            return trimmed.empty() ? memory : trimmed;
        };
        EXPECT_EQ(hexFileBytes(flashHex), uploaded(flashBytes));
        EXPECT_EQ(hexFileBytes(eepromHex), uploaded(eepromBytes));
    }

  private:
    std::string device_;
    int flashBytes_;
    int eepromBytes_;
    std::filesystem::path folder_;
    static inline int count_ = 0;
};

} // namespace quillon::testing
