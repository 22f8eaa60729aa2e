// SPDX-License-Identifier: MIT
// The programmer behind the io library's programmer extension (io.h) for an Arduino running the
// ArduinoISP sketch: its STK500 version 1 commands over a serial line.
//
// What the sketch does that shapes this (facts of the sketch, not of STK500 in general):
// - It keeps one address, "here", a 16-bit word address set by LOAD_ADDRESS. Flash PROG_PAGE
//   and READ_PAGE move it on by the words they carried; EEPROM commands leave it, and take it
//   as a word address too (byte address = here * 2). Past 0xFFFF it wraps, so flash beyond
//   128 KiB needs Load Extended Address, which the sketch never sends: it goes here as a
//   universal command, and no block crosses a 128 KiB boundary.
// - PROG_PAGE takes at most 256 bytes (its buffer). It loads word by word and writes the page
//   whenever the address leaves it (the page size from SET_DEVICE: 32, 64, 128 or 256 bytes)
//   and at the end of the block, waiting 30 ms after each page write; it answers after that.
// - Entering programming mode pulses RESET and sends Programming Enable without looking at the
//   answer, and does nothing when the mode is already on. So the echo is judged from the
//   signature's first byte (0x1E on every ATmega), and a second enable leaves the mode first.
// - The universal command answers only the instruction's fourth byte.
// - Its EEPROM PROG_PAGE waits 45 ms after every byte. EEPROM is written here byte by byte with
//   universal Write EEPROM instructions instead, each followed by universal Poll RDY/BSY until
//   the target is done (at 19200 baud the first poll mostly finds it done): about 10 ms a byte
//   rather than 45.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "arduino_settings.h"
#include "io.h"
#include "serial_line.h"
#include "stk500.h"

namespace quillon::arduino {

// What enable() gives for the echo when the target answered.
inline constexpr uint8_t enableEcho = 0x53;

// How long things take: the Arduino's restart after the modem lines' pulse (its boot loader
// waits for an upload first), the wait for an answer during sync and for each byte of an answer
// afterwards (a PROG_PAGE answer comes after two page writes).
struct Timing {
    Milliseconds resetPulse{50};
    Milliseconds sketchStart{1800};
    Milliseconds syncAnswer{400};
    Milliseconds quiet{60};
    Milliseconds answerGap{1500};
    int syncTries = 10;
    // How long an EEPROM byte write may keep the target busy at most (the slowest parts take
    // 9 ms): past that the next write goes even if the target still says busy.
    Milliseconds eepromWriteLimit{12};
};

class ArduinoIsp {
  public:
    using Progress = IoProgress;

    ArduinoIsp(ArduinoSettings settings, Timing timing = {});

    // The entry points' work (io.h); each answers an IoResult, and error() says why IO_FAILED.
    // open() may be given a line already open (the tests' pseudo-terminal).
    [[nodiscard]] int32_t open(std::unique_ptr<SerialLine> line = nullptr);
    [[nodiscard]] int32_t enable(uint8_t& echo);
    [[nodiscard]] int32_t release();
    [[nodiscard]] int32_t instruction(std::span<const uint8_t, 4> bytes,
                                      std::span<uint8_t, 4> answer);
    [[nodiscard]] int32_t writeFlash(uint32_t address, std::span<const uint8_t> data,
                                     uint32_t pageBytes, Progress progress, void* context);
    [[nodiscard]] int32_t readMemory(int32_t memory, uint32_t address, std::span<uint8_t> data,
                                     Progress progress, void* context);
    [[nodiscard]] int32_t writeEeprom(uint32_t address, std::span<const uint8_t> data,
                                      Progress progress, void* context);

    [[nodiscard]] const std::string& error() const { return error_; }
    // The bytes on the line so far, each way.
    [[nodiscard]] uint64_t bytesSent() const { return link_ ? link_->bytesSent() : 0; }
    [[nodiscard]] uint64_t bytesReceived() const { return link_ ? link_->bytesReceived() : 0; }

    // Leaves programming mode if it is on (the target runs) and closes the port.
    ~ArduinoIsp();
    ArduinoIsp(const ArduinoIsp&) = delete;
    ArduinoIsp& operator=(const ArduinoIsp&) = delete;

  private:
    [[nodiscard]] bool synchronise();
    // After a command went wrong: back in step before the next one, or IO_FAILED.
    [[nodiscard]] bool ready();
    // One command; on anything but a full answer error() names `what` and it answers false.
    [[nodiscard]] bool command(std::span<const uint8_t> request, std::span<uint8_t> data,
                               const char* what);
    [[nodiscard]] bool universal(std::span<const uint8_t, 4> bytes, uint8_t& result,
                                 const char* what);
    [[nodiscard]] bool pointTo(uint32_t byteAddress, bool flash, const char* what);
    [[nodiscard]] bool setDevice(uint32_t pageBytes);
    [[nodiscard]] int32_t failed(std::string why);

    ArduinoSettings settings_;
    Timing timing_;
    std::unique_ptr<SerialLine> line_;
    std::unique_ptr<stk::Link> link_;
    std::string error_;
    bool programming_ = false;
    bool lost_ = false;                 // a command went wrong; sync again before the next
    std::optional<uint16_t> here_;      // the sketch's word address, when known
    uint8_t extendedAddress_ = 0;       // the target's Load Extended Address byte
    std::optional<uint32_t> pageBytes_; // the page size the sketch was given
};

} // namespace quillon::arduino
