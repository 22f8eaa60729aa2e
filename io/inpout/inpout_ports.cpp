// SPDX-License-Identifier: MIT
// The ports over InpOut32: loading the DLL on first use, the shadows of the data and control
// registers, the hold time, and failures that say what to do.
#include "inpout_ports.h"

#include "settings_list.h"

namespace quillon::inpout {

namespace {

using settings::parseNumber;
using settings::splitItem;
using settings::takeItem;

constexpr uint32_t longestHold = 100000;
constexpr std::string_view unreachable = "; the port now reads as if nothing were plugged in";

} // namespace

std::optional<InpOutConfig> parseConfig(std::string_view text, std::string& problem) {
    InpOutConfig config;
    while (!text.empty()) {
        const std::string_view item = takeItem(text);
        if (item.empty()) {
            continue;
        }
        const auto [key, value] = splitItem(item);
        uint32_t number = 0;
        if (key != "hold") {
            problem = "QUILLON_INPOUT: '" + std::string(item) + "' is not hold=";
            return std::nullopt;
        }
        if (!parseNumber(value, number) || number > longestHold) {
            problem = "QUILLON_INPOUT: '" + std::string(item) + "' needs microseconds from 0 to " +
                      std::to_string(longestHold) + ", such as hold=2";
            return std::nullopt;
        }
        config.holdMicros = number;
    }
    return config;
}

InpOutPorts::InpOutPorts(const InpOutSystem& system, std::string configText)
    : system_(system), configText_(std::move(configText)) {}

std::optional<std::size_t> InpOutPorts::shadowIndex(uint16_t address) {
    for (std::size_t i = 0; i < portBases.size(); ++i) {
        if (address == portBases[i]) {
            return i;
        }
        if (address == portBases[i] + 2) {
            return portBases.size() + i;
        }
    }
    return std::nullopt;
}

bool InpOutPorts::reachable() {
    if (state_ == State::Untried) {
        state_ = open() ? State::Open : State::Unreachable;
    }
    return state_ == State::Open;
}

bool InpOutPorts::open() {
    std::string problem;
    const auto config = parseConfig(configText_, problem);
    if (!config) {
        system_.report("io library: " + problem);
        return false;
    }
    config_ = *config;
    const std::string path = system_.ownFolder() + std::string(libraryName);
    switch (system_.load(path)) {
    case LoadResult::Loaded:
        break;
    case LoadResult::NoLibrary:
        system_.report("io library: " + path + " not found: put InpOut32's " +
                       std::string(libraryName) +
                       " beside quillon.exe and run its InstallDriver.exe once as administrator" +
                       std::string(unreachable));
        return false;
    case LoadResult::NoEntryPoints:
        system_.report(
            "io library: " + path +
            " has no Inp32, Out32 or IsInpOutDriverOpen: it is not InpOut32's; put InpOut32's " +
            std::string(libraryName) + " beside quillon.exe" + std::string(unreachable));
        return false;
    }
    if (!system_.driverOpen()) {
        system_.report(
            "io library: InpOut32's driver is not open: run InpOut32's InstallDriver.exe once "
            "as administrator, then start quillon again" +
            std::string(unreachable));
        return false;
    }
    // The shadows start from the levels the ports already drive, so that the first single-bit
    // change leaves the other seven lines as they were.
    for (std::size_t i = 0; i < portBases.size(); ++i) {
        shadows_.at(i) = system_.inp(portBases.at(i));
        shadows_.at(portBases.size() + i) = system_.inp(static_cast<uint16_t>(portBases.at(i) + 2));
    }
    return true;
}

uint8_t InpOutPorts::in(uint16_t address) {
    for (const uint16_t base : portBases) {
        if (address >= base && address <= base + 2) {
            return reachable() ? system_.inp(address) : 0;
        }
    }
    return 0;
}

void InpOutPorts::holdLastChange() const {
    if (config_.holdMicros == 0 || !lastChange_) {
        return;
    }
    const int64_t until = *lastChange_ + int64_t{config_.holdMicros} * 1000;
    while (system_.nanoseconds() < until) {
        // a line level must last the hold time
    }
}

void InpOutPorts::write(uint16_t address, std::size_t shadow, uint8_t value) {
    holdLastChange();
    system_.out(address, value);
    shadows_.at(shadow) = value;
    if (config_.holdMicros != 0) {
        lastChange_ = system_.nanoseconds();
    }
}

void InpOutPorts::out(uint16_t address, uint8_t value) {
    const auto shadow = shadowIndex(address);
    if (shadow && reachable()) {
        write(address, *shadow, value);
    }
}

void InpOutPorts::setBit(uint16_t address, unsigned bit, bool level) {
    const auto shadow = shadowIndex(address);
    if (bit > 7 || !shadow || !reachable()) {
        return;
    }
    const auto mask = static_cast<uint8_t>(1U << bit);
    const uint8_t current = shadows_.at(*shadow);
    write(address, *shadow,
          level ? static_cast<uint8_t>(current | mask) : static_cast<uint8_t>(current & ~mask));
}

int16_t InpOutPorts::getBit(uint16_t address, unsigned bit) {
    if (bit > 7) {
        return 0;
    }
    return ((in(address) >> bit) & 1U) != 0 ? int16_t{-1} : int16_t{0};
}

void InpOutPorts::toggleBit(uint16_t address, unsigned bit) {
    const auto shadow = shadowIndex(address);
    if (bit > 7 || !shadow || !reachable()) {
        return;
    }
    setBit(address, bit, ((shadows_.at(*shadow) >> bit) & 1U) == 0);
}

int16_t InpOutPorts::shiftRight(uint16_t address, int16_t fill) {
    const uint8_t value = in(address);
    out(address, static_cast<uint8_t>((value >> 1) | (fill != 0 ? 0x80U : 0U)));
    return (value & 0x01U) != 0 ? int16_t{-1} : int16_t{0};
}

int16_t InpOutPorts::shiftLeft(uint16_t address, int16_t fill) {
    const uint8_t value = in(address);
    out(address, static_cast<uint8_t>((value << 1) | (fill != 0 ? 0x01U : 0U)));
    return (value & 0x80U) != 0 ? int16_t{-1} : int16_t{0};
}

} // namespace quillon::inpout
