// SPDX-License-Identifier: MIT
// The Arduino programmer's settings, from QUILLON_ARDUINO: a comma list such as
// "port=/dev/ttyUSB0,baud=19200".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::arduino {

#if defined(_WIN32)
inline constexpr std::string_view defaultPort = "COM3";
#else
inline constexpr std::string_view defaultPort = "/dev/ttyACM0";
#endif
inline constexpr uint32_t defaultBaud = 19200; // the ArduinoISP sketch's

struct ArduinoSettings {
    std::string port{defaultPort};
    uint32_t baud = defaultBaud;
};

// The settings, and one line on what in the list was wrong ("" when nothing was); a wrong item
// leaves its setting at the default.
struct ParsedSettings {
    ArduinoSettings settings;
    std::string problem;
};

[[nodiscard]] ParsedSettings parseSettings(std::string_view list);

} // namespace quillon::arduino
