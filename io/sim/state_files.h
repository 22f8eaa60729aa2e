// SPDX-License-Identifier: MIT
// The state folder (QUILLON_SIM_STATE) that keeps a chip between runs: flash.bin and eeprom.bin
// hold raw images of the whole memories, fuses.txt holds lines such as "low=e1" for the low,
// high and extended fuse, the lock byte and calibration byte 0. Every change is handed to the
// operating system before the instruction that made it returns, so a crash of the program loses
// nothing.
#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "sim/chip.h"
#include "sim/config.h"

namespace quillon::sim {

class StateFiles {
  public:
    // Opens the folder (creating it when missing), loads the chip from it and writes the files
    // that were missing, so the folder always shows the chip. A missing file starts as a new
    // chip's. When the folder can't be used (it can't be created, or a memory file has the
    // wrong size for this part), the problem is reported, `chip` stays a new one and the
    // result is null: the chip then lives in memory only.
    [[nodiscard]] static std::unique_ptr<StateFiles>
    open(const std::string& folder, const Part& part, Chip& chip, Problems& problems);

    // Write the changed bytes (or the fuse file) through to the files.
    void flashChanged(const Chip& chip, uint32_t offset, uint32_t length);
    void eepromChanged(const Chip& chip, uint32_t offset, uint32_t length);
    void fusesChanged(const Chip& chip);

    StateFiles(const StateFiles&) = delete;
    StateFiles& operator=(const StateFiles&) = delete;
    ~StateFiles() = default;

  private:
    explicit StateFiles(std::string folder) : folder_(std::move(folder)) {}
    void write(std::fstream& file, const char* name, const std::vector<uint8_t>& memory,
               uint32_t offset, uint32_t length);

    std::string folder_;
    std::fstream flash_;
    std::fstream eeprom_;
    bool reported_ = false; // a write failure is reported once
};

} // namespace quillon::sim
