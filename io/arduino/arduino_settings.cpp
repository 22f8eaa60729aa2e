// SPDX-License-Identifier: MIT
#include "arduino_settings.h"

#include "settings_list.h"

namespace quillon::arduino {

ParsedSettings parseSettings(std::string_view list) {
    ParsedSettings parsed;
    auto complain = [&parsed](std::string_view item, std::string_view why) {
        if (parsed.problem.empty()) {
            parsed.problem =
                "Arduino: QUILLON_ARDUINO item \"" + std::string(item) + "\" " + std::string(why);
        }
    };
    (void)settings::readList(
        list, [&](std::string_view item, std::string_view name, std::string_view value) {
            if (name == "port" && !value.empty()) {
                parsed.settings.port = std::string(value);
            } else if (name == "port") {
                complain(item, "names no serial port (port=/dev/ttyUSB0, say)");
            } else if (name == "baud") {
                uint32_t baud = 0;
                if (settings::parseNumber(value, baud) && baud > 0) {
                    parsed.settings.baud = baud;
                } else {
                    complain(item, "is not a baud rate; 19200 is used");
                }
            } else {
                complain(item, "is not a setting (port=DEVICE, baud=RATE)");
            }
            return true; // every item is read; the first problem is the one told
        });
    return parsed;
}

} // namespace quillon::arduino
