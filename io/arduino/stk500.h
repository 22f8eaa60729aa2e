// SPDX-License-Identifier: MIT
// STK500 version 1 framing as the ArduinoISP sketch speaks it: a request is a command byte, its
// arguments and CRC_EOP (0x20); the answer is STK_INSYNC (0x14), the command's data, then STK_OK
// (0x10). A sketch that read something other than CRC_EOP where one belongs answers STK_NOSYNC
// (0x15) alone. The link counts the bytes each way, for the benchmark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "serial_line.h"

namespace quillon::arduino::stk {

inline constexpr uint8_t ok = 0x10;
inline constexpr uint8_t failed = 0x11;
inline constexpr uint8_t unknown = 0x12;
inline constexpr uint8_t inSync = 0x14;
inline constexpr uint8_t noSync = 0x15;
inline constexpr uint8_t endOfPacket = 0x20;

inline constexpr uint8_t getSync = 0x30;       // '0'
inline constexpr uint8_t setDevice = 0x42;     // 'B': 20 bytes of device parameters
inline constexpr uint8_t enterProgMode = 0x50; // 'P'
inline constexpr uint8_t leaveProgMode = 0x51; // 'Q'
inline constexpr uint8_t loadAddress = 0x55;   // 'U': word address, low byte first
inline constexpr uint8_t universal = 0x56;     // 'V': one four-byte instruction
inline constexpr uint8_t progPage = 0x64;      // 'd': length (high first), 'F' or 'E', data
inline constexpr uint8_t readPage = 0x74;      // 't': length (high first), 'F' or 'E'

enum class Outcome {
    done,    // STK_INSYNC, the data, STK_OK
    silent,  // nothing came back
    noSync,  // STK_NOSYNC
    garbled, // something else than STK_INSYNC first
    stopped, // STK_INSYNC, then the answer stopped before its end
    refused, // STK_INSYNC and the data, then STK_FAILED or STK_UNKNOWN instead of STK_OK
};

class Link {
  public:
    explicit Link(SerialLine& line) : line_(line) {}

    // Sends `request` (without CRC_EOP, which the link adds) and reads the answer; its data goes
    // to `data`. `gap` is the longest wait for any one byte of the answer.
    [[nodiscard]] Outcome exchange(std::span<const uint8_t> request, std::span<uint8_t> data,
                                   Milliseconds gap);

    // Reads and drops whatever arrives until the line has been quiet for `quiet`.
    void drain(Milliseconds quiet);

    [[nodiscard]] SerialLine& line() { return line_; }
    [[nodiscard]] uint64_t bytesSent() const { return sent_; }
    [[nodiscard]] uint64_t bytesReceived() const { return received_; }

  private:
    SerialLine& line_;
    uint64_t sent_ = 0;
    uint64_t received_ = 0;
};

} // namespace quillon::arduino::stk
