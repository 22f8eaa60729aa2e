// SPDX-License-Identifier: MIT
// A serial port as the Arduino programmer uses it: raw 8N1 bytes at one baud rate, no flow
// control, reads that give up after a time, and the modem lines that restart an Arduino.
// serial_posix.cpp opens one through termios, serial_windows.cpp through the Win32 serial calls;
// the tests plug in a pseudo-terminal.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace quillon::arduino {

using Milliseconds = std::chrono::milliseconds;

class SerialLine {
  public:
    SerialLine() = default;
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;
    virtual ~SerialLine() = default;

    // Sends every byte; false when the port failed (it went away).
    [[nodiscard]] virtual bool send(std::span<const uint8_t> bytes) = 0;
    // Fills `data` as far as the bytes come, waiting at most `gap` for each next byte; answers
    // how many arrived.
    [[nodiscard]] virtual std::size_t receive(std::span<uint8_t> data, Milliseconds gap) = 0;
    // Drops DTR and RTS for `width` and raises them again, which restarts an Arduino with
    // auto-reset; false when the port has no such lines to pulse.
    [[nodiscard]] virtual bool pulseModemLines(Milliseconds width) = 0;
};

// What opening a port gave: the line, or one line for the user on why there is none.
struct OpenedLine {
    std::unique_ptr<SerialLine> line;
    std::string problem;
};

// Opens `port` (a device path, or COMn on Windows) raw 8N1 at `baud` without flow control.
[[nodiscard]] OpenedLine openSerialLine(const std::string& port, uint32_t baud);

// The serial ports this machine has, for the message that names a port that isn't there.
[[nodiscard]] std::string existingSerialPorts();

// The line for the user when `port` isn't there.
[[nodiscard]] inline std::string noSuchPort(const std::string& port) {
    return "Arduino: there is no serial port " + port + " (" + existingSerialPorts() +
           "); name the Arduino's port in QUILLON_ARDUINO=port=...";
}

} // namespace quillon::arduino
