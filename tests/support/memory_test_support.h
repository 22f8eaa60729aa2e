// Helpers shared by the memory tests: a scratch folder, whole files, captured standard output,
// Intel HEX records with correct checksums, and a fresh start of the process-wide state.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "device/device.h"
#include "fake_port.h"
#include "image/image.h"

namespace quillon::testing {

// A folder of its own for one test, removed with everything in it afterwards.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillon-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "can't create a scratch folder";
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    [[nodiscard]] std::string file(const std::string& name) const {
        return (path_ / name).string();
    }

  private:
    std::filesystem::path path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string dataFile(const std::string& name) {
    return std::string(QUILLON_TEST_DATA) + "/" + name;
}

// Standard output from construction until text().
class Stdout {
  public:
    Stdout() {
        std::fflush(stdout);
        ::testing::internal::CaptureStdout();
    }
    [[nodiscard]] std::string text() {
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }
};

// An Intel HEX record in upper case with its checksum.
inline std::string hexRecord(int type, int offset, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(offset >> 8),
                               static_cast<uint8_t>(offset), static_cast<uint8_t>(type)};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    std::string text = ":";
    char digits[3];
    for (uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        text += digits;
        sum += b;
    }
    std::snprintf(digits, sizeof digits, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return text + digits + "\n";
}

// The settings, the device table and the buffers as a fresh start of the program leaves them.
inline void freshMemoryState() {
    fillDeviceTable();
    resetSettings();
    CommandSettings.addressRecordType = 4;
    CommandSettings.trimUpload = 1;
    currentDevice = -1;
    fillImageBuffer(0);
    fillReadBackBuffer(0);
}

// Queues a target's answers to a whole read-back of memoryBytes: `bytes`, then erased bytes,
// then the signature of DeviceTable[device], which is read again afterwards to see that the
// target still answers. MISO reads 1 once the queue is empty.
inline void queueReadBack(FakePort& port, const std::vector<uint8_t>& bytes, int32_t memoryBytes,
                          int32_t device) {
    for (int32_t i = 0; i < memoryBytes; ++i) {
        port.queueMisoByte(i < static_cast<int32_t>(bytes.size())
                               ? bytes[static_cast<std::size_t>(i)]
                               : uint8_t{0xFF});
    }
    for (const uint8_t b : DeviceTable[static_cast<std::size_t>(device)].signature) {
        port.queueMisoByte(b);
    }
    port.misoDefault = true;
}

inline constexpr int32_t atmega16 = 0;
inline constexpr int32_t atmega48 = 2;
inline constexpr int32_t atmega644 = 5;
inline constexpr int32_t atmega128 = 6;

} // namespace quillon::testing
