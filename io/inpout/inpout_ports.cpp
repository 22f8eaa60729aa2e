// SPDX-License-Identifier: MIT
// The ports over InpOut32: loading the DLL on first use, the shadows of the data and control
// registers, the hold time, and failures that say what to do.
#include "inpout_ports.h"

#include "settings_list.h"

namespace quillon::inpout {

namespace {

using settings::parseNumber;

constexpr uint32_t longestHold = 100000;
constexpr std::string_view unreachable = "; the port now reads as if nothing were plugged in";

} // namespace

std::optional<InpOutConfig> parseConfig(std::string_view text, std::string& problem) {
    InpOutConfig config;
    const bool read = settings::readList(text, [&](std::string_view item, std::string_view key,
                                                   std::string_view value) {
        uint32_t number = 0;
        if (key != "hold") {
            problem = "QUILLON_INPOUT: '" + std::string(item) + "' is not hold=";
            return false;
        }
        if (!parseNumber(value, number) || number > longestHold) {
            problem = "QUILLON_INPOUT: '" + std::string(item) + "' needs microseconds from 0 to " +
                      std::to_string(longestHold) + ", such as hold=2";
            return false;
        }
        config.holdMicros = number;
        return true;
    });
    return read ? std::optional(config) : std::nullopt;
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

uint8_t InpOutPorts::latch(uint16_t address) const {
    const auto shadow = shadowIndex(address);
    return shadow ? shadows_.at(*shadow) : uint8_t{0};
}

} // namespace quillon::inpout
