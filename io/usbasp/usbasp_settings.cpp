// SPDX-License-Identifier: MIT
// Reading QUILLON_USBASP: the ISP clock and the serial number.
#include <charconv>

#include "settings_list.h"
#include "usbasp_programmer.h"

namespace quillon::usbasp {

namespace {

// "187.5k", "1.5M", "8kHz", "500": a clock in hertz, or nothing.
std::optional<double> parseHertz(std::string_view text) {
    if (text.size() > 2 && (text.ends_with("Hz") || text.ends_with("hz"))) {
        text.remove_suffix(2);
    }
    double scale = 1;
    if (!text.empty() && (text.back() == 'k' || text.back() == 'K')) {
        scale = 1e3;
        text.remove_suffix(1);
    } else if (!text.empty() && (text.back() == 'M' || text.back() == 'm')) {
        scale = 1e6;
        text.remove_suffix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value <= 0) {
        return std::nullopt;
    }
    return value * scale;
}

} // namespace

std::optional<SckStep> sckStepAtMost(uint32_t hertz) {
    for (const SckStep& step : sckSteps) {
        if (step.hertz <= hertz) {
            return step;
        }
    }
    return std::nullopt;
}

std::optional<UsbaspConfig> parseConfig(std::string_view text, std::string& problem) {
    UsbaspConfig config;
    const bool read = settings::readList(text, [&](std::string_view item, std::string_view name,
                                                   std::string_view value) {
        if (name == "sck" && !value.empty()) {
            const auto hertz = parseHertz(value);
            const auto step =
                hertz && *hertz < 4e9 ? sckStepAtMost(static_cast<uint32_t>(*hertz)) : std::nullopt;
            if (!step) {
                problem = "QUILLON_USBASP: 'sck=" + std::string(value) +
                          "' is not an ISP clock the USBasp has: give one from 1.5M down to 500 "
                          "(hertz, with k or M), such as sck=187.5k";
                return false;
            }
            config.sck = step;
        } else if (name == "serial" && !value.empty()) {
            config.serial = value;
        } else {
            problem = "QUILLON_USBASP: unknown setting '" + std::string(item) +
                      "' (known: sck=CLOCK such as sck=187.5k, serial=SERIAL-NUMBER)";
            return false;
        }
        return true;
    });
    return read ? std::optional(config) : std::nullopt;
}

} // namespace quillon::usbasp
