// SPDX-License-Identifier: MIT
// Loading a chip from its state folder and writing every change through to it.
#include "sim/state_files.h"

#include "settings_list.h"

#include <charconv>
#include <cstdio>
#include <filesystem>

namespace quillon::sim {

namespace fs = std::filesystem;

namespace {

const char* const flashFile = "flash.bin";
const char* const eepromFile = "eeprom.bin";
const char* const fuseFile = "fuses.txt";

std::string hexByte(uint8_t value) {
    std::array<char, 3> text{};
    std::snprintf(text.data(), text.size(), "%02x", value);
    return text.data();
}

std::string fuseText(const Chip& chip) {
    return "low=" + hexByte(chip.lowFuse) + "\nhigh=" + hexByte(chip.highFuse) +
           "\nextended=" + hexByte(chip.extendedFuse) + "\nlock=" + hexByte(chip.lock) +
           "\ncalibration=" + hexByte(chip.calibration[0]) + "\n";
}

bool writeWholeFile(const fs::path& path, const char* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    out.flush();
    return static_cast<bool>(out);
}

enum class Loaded { missing, loaded, unusable };

// Reads a raw memory image that must be exactly the memory's size.
Loaded loadMemory(const fs::path& path, const Part& part, std::vector<uint8_t>& memory,
                  Problems& problems) {
    std::error_code error;
    if (!fs::exists(path, error)) {
        return Loaded::missing;
    }
    const auto size = fs::file_size(path, error);
    if (error || size != memory.size()) {
        problems.push_back(
            {Setting::stateDir,
             path.string() + " holds " +
                 (error ? std::string("an unreadable number of") : std::to_string(size)) +
                 " bytes but the " + part.name + " has " + std::to_string(memory.size()) +
                 "; keeping this chip in memory only (give an empty folder for a new "
                 "chip)"});
        return Loaded::unusable;
    }
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(memory.data()), static_cast<std::streamsize>(memory.size()));
    if (!in) {
        problems.push_back({Setting::stateDir,
                            "can't read " + path.string() + "; keeping this chip in memory only"});
        return Loaded::unusable;
    }
    return Loaded::loaded;
}

// Reads fuses.txt; a line it doesn't understand is reported and the value keeps the factory's.
bool loadFuses(const fs::path& path, const Part& part, Chip& chip, Problems& problems) {
    std::ifstream in(path);
    if (!in) {
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view text = settings::trimmed(line);
        if (text.empty() || text.front() == '#') {
            continue;
        }
        const auto [name, value] = settings::splitItem(text);
        unsigned byte = 0;
        const auto [end, error] =
            std::from_chars(value.data(), value.data() + value.size(), byte, 16);
        const bool goodValue = !value.empty() && error == std::errc{} &&
                               end == value.data() + value.size() && byte <= 0xFF;
        uint8_t* cell = name == "low"           ? &chip.lowFuse
                        : name == "high"        ? &chip.highFuse
                        : name == "extended"    ? &chip.extendedFuse
                        : name == "lock"        ? &chip.lock
                        : name == "calibration" ? chip.calibration.data()
                                                : nullptr;
        if (cell == nullptr || !goodValue) {
            problems.push_back(
                {Setting::stateDir,
                 path.string() + ": can't use the line '" + std::string(text) +
                     "' (expected low=, high=, extended=, lock= or calibration= with "
                     "a hex byte such as e1); keeping the factory value"});
            continue;
        }
        *cell = static_cast<uint8_t>(byte);
    }
    // Bits the part can't hold read as the part shows them.
    chip.highFuse = storedHighFuse(chip.highFuse);
    chip.extendedFuse = storedExtendedFuse(part, chip.extendedFuse);
    chip.lock = storedLock(part, chip.lock);
    return true;
}

} // namespace

std::unique_ptr<StateFiles> StateFiles::open(const std::string& folder, const Part& part,
                                             Chip& chip, Problems& problems) {
    const fs::path dir(folder);
    std::error_code error;
    fs::create_directories(dir, error);
    if (error || !fs::is_directory(dir, error)) {
        problems.push_back({Setting::stateDir, "can't use the folder " + folder + " (" +
                                                   error.message() +
                                                   "); keeping the chip in memory only"});
        return nullptr;
    }
    Chip loaded = Chip::fresh(part);
    const Loaded flash = loadMemory(dir / flashFile, part, loaded.flash, problems);
    const Loaded eeprom = loadMemory(dir / eepromFile, part, loaded.eeprom, problems);
    if (flash == Loaded::unusable || eeprom == Loaded::unusable) {
        return nullptr;
    }
    const bool hadFuses = loadFuses(dir / fuseFile, part, loaded, problems);

    const auto writeMissing = [&](bool missing, const char* name, const std::string& bytes) {
        return !missing || writeWholeFile(dir / name, bytes.data(), bytes.size());
    };
    const std::string flashBytes(loaded.flash.begin(), loaded.flash.end());
    const std::string eepromBytes(loaded.eeprom.begin(), loaded.eeprom.end());
    std::unique_ptr<StateFiles> files(new StateFiles(folder));
    const auto mode = std::ios::in | std::ios::out | std::ios::binary;
    if (!writeMissing(flash == Loaded::missing, flashFile, flashBytes) ||
        !writeMissing(eeprom == Loaded::missing, eepromFile, eepromBytes) ||
        !writeMissing(!hadFuses, fuseFile, fuseText(loaded)) ||
        !(files->flash_.open(dir / flashFile, mode), files->flash_.is_open()) ||
        !(files->eeprom_.open(dir / eepromFile, mode), files->eeprom_.is_open())) {
        problems.push_back({Setting::stateDir, "can't write the chip's files in " + folder +
                                                   "; keeping the chip in memory only"});
        return nullptr;
    }
    chip = std::move(loaded);
    return files;
}

void StateFiles::write(std::fstream& file, const char* name, const std::vector<uint8_t>& memory,
                       uint32_t offset, uint32_t length) {
    file.seekp(offset);
    file.write(reinterpret_cast<const char*>(memory.data()) + offset, length);
    file.flush();
    if (!file && !reported_) {
        reported_ = true;
        std::fprintf(stderr, "quillon-sim: can't write %s in %s; later changes may be lost\n", name,
                     folder_.c_str());
    }
    file.clear();
}

void StateFiles::flashChanged(const Chip& chip, uint32_t offset, uint32_t length) {
    write(flash_, flashFile, chip.flash, offset, length);
}

void StateFiles::eepromChanged(const Chip& chip, uint32_t offset, uint32_t length) {
    write(eeprom_, eepromFile, chip.eeprom, offset, length);
}

void StateFiles::fusesChanged(const Chip& chip) {
    // Written beside the old file and renamed over it, so fuses.txt is always whole.
    const fs::path dir(folder_);
    const std::string text = fuseText(chip);
    std::error_code error;
    if (!writeWholeFile(dir / "fuses.txt.new", text.data(), text.size()) ||
        (fs::rename(dir / "fuses.txt.new", dir / fuseFile, error), error)) {
        if (!reported_) {
            reported_ = true;
            std::fprintf(stderr, "quillon-sim: can't write %s in %s; later changes may be lost\n",
                         fuseFile, folder_.c_str());
        }
    }
}

} // namespace quillon::sim
