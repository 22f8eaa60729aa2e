// SPDX-License-Identifier: MIT
// An Arduino running the ArduinoISP sketch, emulated for the tests and the benchmark: it sits on
// the master side of a pseudo-terminal pair, the slave side (port()) being the serial port a
// programmer opens, and drives a simulated ATmega (Board) through IspWire as the
// sketch drives its pins 10 to 13. It follows the sketch: its replies, its single 16-bit word
// address, its 256-byte buffer, its page commits with 30 ms after each, its 45 ms per EEPROM
// byte, its universal command answering one byte, its STK_NOSYNC when a command doesn't end in
// CRC_EOP, its programming mode entered without looking at the target's echo.
//
// Time is real (the board runs on a SteadyClock); the sketch's own waits are slept, and the line
// takes no time unless it is paced. statistics() tells what the line carried, what the sketch
// waited and how long the programmer left the line idle, so a benchmark can tell what the same
// work takes at a given baud rate.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/board.h"
#include "sim/clock.h"
#include "sim/isp_wire.h"

namespace quillon::sim {

// The faults to show, and whether the line keeps to the baud rate.
struct SketchOptions {
    bool pacedLine = false;      // bytes come and go no faster than the baud rate lets them (the
                                 // benchmark); otherwise the pseudo-terminal's speed
    bool mute = false;           // no sketch: the port is there, nothing ever answers
    uint32_t strayBytes = 0;     // junk sent ahead of the first answer (a boot loader's leftovers)
    uint32_t noiseInCommand = 0; // nonzero: a noise byte arrives right after this command's
                                 // (1 for the first) command byte
    uint32_t stopInCommand = 0;  // nonzero: the answer to this command stops halfway (the rest
                                 // is lost on the line; the sketch goes on)
    uint8_t onlyCommand = 0;     // nonzero: the two counts above count only this command byte
    uint32_t baud = 19200;       // the sketch's rate; a port set otherwise garbles every byte
};

struct SketchStatistics {
    uint64_t bytesIn = 0;                    // to the sketch
    uint64_t bytesOut = 0;                   // from the sketch
    std::chrono::microseconds sketchWaits{}; // the sketch's delay() calls
    std::chrono::microseconds spiTime{};     // SPI instructions outside READ_PAGE, at 250 kHz
    std::chrono::microseconds hostIdle{};    // from an answer's end to the next command
    std::vector<std::chrono::microseconds> idleGaps; // each of them
    std::vector<uint8_t> commands;                   // every command byte, in order
};

class ArduinoSketch {
  public:
    explicit ArduinoSketch(const Config& chip, const SketchOptions& options = {});
    ArduinoSketch(const ArduinoSketch&) = delete;
    ArduinoSketch& operator=(const ArduinoSketch&) = delete;
    ~ArduinoSketch();

    // The serial port's path, for QUILLON_ARDUINO=port=...
    [[nodiscard]] const std::string& port() const { return port_; }

    // Runs `look` on the board while the sketch handles no command.
    void withBoard(const std::function<void(Board&)>& look);
    [[nodiscard]] SketchStatistics statistics();

  private:
    struct Stopped {};
    struct Parameters {
        uint8_t deviceCode = 0;
        uint16_t pageBytes = 0;
        uint16_t eepromBytes = 0;
    };

    void run();
    [[nodiscard]] uint8_t getch();
    void fill(std::size_t count);
    void put(uint8_t byte);
    void flush();
    void delay(std::chrono::microseconds time);
    void pace(std::size_t bytes);
    [[nodiscard]] bool stopping() const;
    [[nodiscard]] uint8_t spi(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
    [[nodiscard]] bool baudMatches() const;

    void avrisp();
    void emptyReply();
    void byteReply(uint8_t value);
    void startProgramming();
    void endProgramming();
    void setParameters();
    void programPage();
    void writeFlashPages(uint16_t length);
    [[nodiscard]] uint16_t currentPage() const;
    void commit(uint16_t page);
    [[nodiscard]] uint8_t writeEeprom(uint16_t length);
    void readPage();
    void readSignature();

    SketchOptions faults_;
    SteadyClock clock_;
    std::unique_ptr<Board> board_;
    std::unique_ptr<IspWire> wire_;
    int master_ = -1;
    int slave_ = -1;
    std::string port_;

    std::mutex mutex_; // held while a command runs
    SketchStatistics statistics_;
    std::optional<std::chrono::steady_clock::time_point> answered_; // the last answer's end
    std::chrono::steady_clock::time_point lineFree_; // when the paced line takes the next byte
    bool hung_ = false;
    uint32_t commandCount_ = 0; // of the commands the fault counts count
    bool counted_ = false;      // the command running is one of them
    bool injectNoise_ = false;
    bool streaming_ = false; // inside READ_PAGE, where SPI overlaps the serial output
    std::vector<uint8_t> answer_;

    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(256); // the sketch's buff[256]
    uint16_t here_ = 0;
    bool programming_ = false;
    Parameters parameters_;

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace quillon::sim
