// SPDX-License-Identifier: MIT
// Reading the board's configuration from the QUILLON_SIM_* variables.
#include "sim/config.h"

#include "settings_list.h"
#include <array>
#include <charconv>
#include <cstdlib>

namespace quillon::sim {

namespace {

// A byte address in decimal or with a 0x prefix in hex; nothing for any other text.
bool parseAddress(std::string_view text, uint32_t& address) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) {
        return false;
    }
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), address, base);
    return error == std::errc{} && end == text.data() + text.size();
}

// The faults that take a count ("mute-after=N", "drop-page=N", "power-loss=N",
// "programmer-fail=N"): sets the count and answers true when item names one of them, reporting a
// count that isn't a number from 1 on.
bool countFault(std::string_view item, Faults& faults, Problems& problems) {
    struct Named {
        std::string_view name;
        uint32_t Faults::*member;
    };
    static constexpr std::array<Named, 4> names{{{"mute-after=", &Faults::muteAfter},
                                                 {"drop-page=", &Faults::dropPage},
                                                 {"power-loss=", &Faults::powerLoss},
                                                 {"programmer-fail=", &Faults::failingCall}}};
    for (const Named& named : names) {
        if (item.substr(0, named.name.size()) != named.name) {
            continue;
        }
        uint32_t count = 0;
        if (parseAddress(item.substr(named.name.size()), count) && count > 0) {
            faults.*named.member = count;
        } else {
            problems.push_back({Setting::faults, "'" + std::string(item) +
                                                     "' needs a count from 1 on, such as " +
                                                     std::string(named.name) + "40; ignoring it"});
        }
        return true;
    }
    return false;
}

const char* variable(Setting setting) {
    const char* value = std::getenv(variableOf(setting));
    return value != nullptr && *value != '\0' ? value : nullptr;
}

} // namespace

Faults parseFaults(std::string_view list, Problems& problems) {
    Faults faults;
    (void)settings::readList(list, [&](std::string_view item, auto /*name*/, auto /*value*/) {
        if (item == "no-adapter") {
            faults.noAdapter = true;
        } else if (item == "no-target") {
            faults.noTarget = true;
        } else if (item == "slow") {
            faults.slow = true;
        } else if (item == "miso-low") {
            faults.misoLow = true;
        } else if (item == "skip-waits") {
            faults.skipWaits = true;
        } else if (item.substr(0, 6) == "stuck=") {
            uint32_t address = 0;
            if (parseAddress(item.substr(6), address)) {
                faults.stuckFlashBytes.push_back(address);
            } else {
                problems.push_back({Setting::faults, "'" + std::string(item) +
                                                         "' needs a flash byte address in "
                                                         "decimal or 0x hex, such as "
                                                         "stuck=0x100; ignoring it"});
            }
        } else if (!countFault(item, faults, problems)) {
            problems.push_back(
                {Setting::faults,
                 "unknown fault '" + std::string(item) +
                     "' (known: no-adapter, no-target, stuck=ADDR, slow, "
                     "miso-low, mute-after=N, drop-page=N, power-loss=N, skip-waits, "
                     "programmer-fail=N); "
                     "ignoring it"});
        }
        return true; // a problem is listed, and the rest is read on
    });
    return faults;
}

std::optional<uint32_t> parseClock(std::string_view text, Problems& problems) {
    constexpr uint32_t slowest = 1000;
    constexpr uint32_t fastest = 32000000;
    uint32_t hz = 0;
    if (settings::parseNumber(settings::trimmed(text), hz) && hz >= slowest && hz <= fastest) {
        return hz;
    }
    problems.push_back({Setting::clock, "'" + std::string(text) +
                                            "' is not a clock from 1000 to 32000000 Hz, such as "
                                            "8000000; the part runs on its factory 1 MHz"});
    return std::nullopt;
}

const char* variableOf(Setting setting) {
    switch (setting) {
    case Setting::device:
        return "QUILLON_SIM_DEVICE";
    case Setting::stateDir:
        return "QUILLON_SIM_STATE";
    case Setting::faults:
        return "QUILLON_SIM_FAULTS";
    case Setting::level:
        return "QUILLON_SIM_LEVEL";
    case Setting::clock:
        return "QUILLON_SIM_CLOCK";
    case Setting::traceFile:
        break;
    }
    return "QUILLON_SIM_TRACE";
}

Config configFromEnvironment(Problems& problems) {
    Config config;
    if (const char* device = variable(Setting::device)) {
        config.device = device;
    }
    if (const char* state = variable(Setting::stateDir)) {
        config.stateDir = state;
    }
    if (const char* faults = variable(Setting::faults)) {
        config.faults = parseFaults(faults, problems);
    }
    if (const char* trace = variable(Setting::traceFile)) {
        config.traceFile = trace;
    }
    if (const char* level = variable(Setting::level)) {
        if (std::string_view(level) == "instruction") {
            config.level = Level::instruction;
        } else if (std::string_view(level) != "bit") {
            problems.push_back({Setting::level, "unknown level '" + std::string(level) +
                                                    "' (known: bit, instruction); driving the "
                                                    "board bit by bit"});
        }
    }
    if (const char* clock = variable(Setting::clock)) {
        config.clockHz = parseClock(clock, problems).value_or(config.clockHz);
    }
    return config;
}

} // namespace quillon::sim
