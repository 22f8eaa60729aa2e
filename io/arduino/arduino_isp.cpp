// SPDX-License-Identifier: MIT
#include "arduino_isp.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>
#include <vector>

namespace quillon::arduino {

namespace {

constexpr uint32_t flashBlockBytes = 256;  // PROG_PAGE: the sketch's buffer
constexpr uint32_t readBlockBytes = 1024;  // READ_PAGE: the sketch streams what it reads
constexpr uint32_t extendedSpan = 0x20000; // bytes one extended address byte reaches
constexpr uint8_t signatureFirstByte = 0x1E;
constexpr uint8_t loadExtendedAddress = 0x4D;
constexpr std::array<uint8_t, 4> readSignatureByte0{0x30, 0x00, 0x00, 0x00};
constexpr std::array<uint8_t, 4> pollReady{0xF0, 0x00, 0x00, 0x00}; // bit 0 set while busy
constexpr uint8_t writeEepromByte = 0xC0;

bool supportedPage(uint32_t pageBytes) {
    return pageBytes == 32 || pageBytes == 64 || pageBytes == 128 || pageBytes == 256;
}

} // namespace

ArduinoIsp::ArduinoIsp(ArduinoSettings settings, Timing timing)
    : settings_(std::move(settings)), timing_(timing) {}

ArduinoIsp::~ArduinoIsp() {
    if (link_ && programming_) {
        const std::array request{stk::leaveProgMode};
        (void)link_->exchange(request, {}, timing_.answerGap);
    }
}

int32_t ArduinoIsp::failed(std::string why) {
    error_ = std::move(why);
    return IO_FAILED;
}

int32_t ArduinoIsp::open(std::unique_ptr<SerialLine> line) {
    error_.clear();
    if (!line) {
        OpenedLine opened = openSerialLine(settings_.port, settings_.baud);
        if (!opened.line) {
            return failed(opened.problem);
        }
        line = std::move(opened.line);
    }
    line_ = std::move(line);
    link_ = std::make_unique<stk::Link>(*line_);
    // Restart the Arduino so that its sketch starts from the top; a board whose auto-reset is
    // held off by a capacitor (or a line without modem lines) just carries on.
    if (line_->pulseModemLines(timing_.resetPulse)) {
        std::this_thread::sleep_for(timing_.sketchStart);
    }
    if (!synchronise()) {
        const auto tries = std::to_string(timing_.syncTries);
        return failed("Arduino on " + settings_.port + " not in sync after " + tries +
                      " tries at " + std::to_string(settings_.baud) +
                      " baud: load the ArduinoISP sketch, check the port and that baud= is the "
                      "sketch's (19200); if the Arduino restarts when the port opens, put a 10 uF "
                      "capacitor between its RESET and GND");
    }
    return IO_OK;
}

// In sync once two GET_SYNCs in a row are answered exactly; whatever else comes (a boot
// loader's or an earlier run's leftovers, line noise) is drained before the next try.
bool ArduinoIsp::synchronise() {
    int inARow = 0;
    for (int attempt = 0; attempt < timing_.syncTries && inARow < 2; ++attempt) {
        const std::array request{stk::getSync};
        if (link_->exchange(request, {}, timing_.syncAnswer) == stk::Outcome::done) {
            ++inARow;
        } else {
            inARow = 0;
            link_->drain(timing_.quiet);
        }
    }
    return inARow == 2;
}

bool ArduinoIsp::command(std::span<const uint8_t> request, std::span<uint8_t> data,
                         const char* what) {
    const stk::Outcome outcome = link_->exchange(request, data, timing_.answerGap);
    const std::string where = "Arduino on " + settings_.port;
    switch (outcome) {
    case stk::Outcome::done:
        return true;
    case stk::Outcome::silent:
        error_ = where + " stopped answering during " + what +
                 "; check the USB cable and "
                 "that the sketch still runs (reset the Arduino)";
        break;
    case stk::Outcome::noSync:
        error_ = where + " fell out of sync during " + what + " (it answered STK_NOSYNC)";
        break;
    case stk::Outcome::garbled:
        error_ = where + " answered out of step during " + what +
                 "; is this the ArduinoISP "
                 "sketch at " +
                 std::to_string(settings_.baud) + " baud?";
        break;
    case stk::Outcome::stopped:
        error_ = where + " stopped in the middle of its answer to " + what;
        break;
    case stk::Outcome::refused:
        error_ = where + " refused " + what;
        break;
    }
    // Whatever state the sketch is in now, nothing it says can be trusted until the next sync.
    link_->drain(timing_.quiet);
    here_.reset();
    lost_ = true;
    return false;
}

bool ArduinoIsp::ready() {
    if (!link_) {
        error_ = "Arduino: the port is not open";
        return false;
    }
    if (lost_) {
        pageBytes_.reset(); // the sketch may have restarted and forgotten the page size
    }
    if (lost_ && !synchronise()) {
        error_ = "Arduino on " + settings_.port +
                 " is still out of step after an earlier failure: press the Arduino's reset "
                 "button (or unplug and replug it) and run quillon again";
        return false;
    }
    lost_ = false;
    return true;
}

bool ArduinoIsp::universal(std::span<const uint8_t, 4> bytes, uint8_t& result, const char* what) {
    const std::array request{stk::universal, bytes[0], bytes[1], bytes[2], bytes[3]};
    std::array<uint8_t, 1> answer{};
    if (!command(request, answer, what)) {
        return false;
    }
    result = answer[0];
    return true;
}

int32_t ArduinoIsp::enable(uint8_t& echo) {
    echo = 0;
    error_.clear();
    if (!ready()) {
        return IO_FAILED;
    }
    if (programming_) { // the sketch would not pulse RESET again otherwise
        const std::array leave{stk::leaveProgMode};
        if (!command(leave, {}, "LEAVE_PROGMODE (releasing the target)")) {
            return IO_FAILED;
        }
        programming_ = false;
    }
    const std::array enter{stk::enterProgMode};
    if (!command(enter, {}, "ENTER_PROGMODE (Programming Enable)")) {
        return IO_FAILED;
    }
    programming_ = true;
    here_.reset();
    extendedAddress_ = 0; // RESET starts the target's serial programming afresh
    uint8_t signature = 0;
    if (!universal(readSignatureByte0, signature, "the signature check (universal 30 00 00 00)")) {
        return IO_FAILED;
    }
    echo = signature == signatureFirstByte ? enableEcho : 0;
    return IO_OK;
}

int32_t ArduinoIsp::release() {
    error_.clear();
    if (!link_ || !programming_) {
        return IO_OK;
    }
    if (!ready()) {
        return IO_FAILED;
    }
    const std::array leave{stk::leaveProgMode};
    programming_ = false;
    return command(leave, {}, "LEAVE_PROGMODE (releasing the target)") ? IO_OK : IO_FAILED;
}

int32_t ArduinoIsp::instruction(std::span<const uint8_t, 4> bytes, std::span<uint8_t, 4> answer) {
    error_.clear();
    std::ranges::fill(answer, 0);
    if (!ready()) {
        return IO_FAILED;
    }
    std::array<char, 48> what{};
    std::snprintf(what.data(), what.size(), "the instruction %02X %02X %02X %02X (universal)",
                  bytes[0], bytes[1], bytes[2], bytes[3]);
    if (!universal(bytes, answer[3], what.data())) {
        return IO_FAILED;
    }
    if (bytes[0] == loadExtendedAddress) {
        extendedAddress_ = bytes[2];
    }
    return IO_OK;
}

// Sets the sketch's address (and the target's extended address) to `byteAddress` unless they
// are there already.
bool ArduinoIsp::pointTo(uint32_t byteAddress, bool flash, const char* what) {
    if (flash) {
        const auto extended = static_cast<uint8_t>(byteAddress / extendedSpan);
        if (extended != extendedAddress_) {
            const std::array<uint8_t, 4> load{loadExtendedAddress, 0x00, extended, 0x00};
            uint8_t ignored = 0;
            if (!universal(load, ignored, "Load Extended Address (universal 4D)")) {
                return false;
            }
            extendedAddress_ = extended;
        }
    }
    const auto word = static_cast<uint16_t>((byteAddress / 2) & 0xFFFFU);
    if (here_ == word) {
        return true;
    }
    const std::array request{stk::loadAddress, static_cast<uint8_t>(word & 0xFFU),
                             static_cast<uint8_t>(word >> 8)};
    if (!command(request, {}, what)) {
        return false;
    }
    here_ = word;
    return true;
}

bool ArduinoIsp::setDevice(uint32_t pageBytes) {
    if (pageBytes_ == pageBytes) {
        return true;
    }
    // Device code below 0xE0 (an AVR: RESET active low); parallel mode, polling and self-timed
    // as an ATmega has them; one lock byte, three fuse bytes; the page size in bytes, high byte
    // first. The sketch keeps only the page size, the EEPROM and flash sizes and the device
    // code; it checks the EEPROM size only for EEPROM PROG_PAGE, which quillon doesn't send.
    const std::array request{stk::setDevice,
                             uint8_t{0x86},
                             uint8_t{0x00},
                             uint8_t{0x00},
                             uint8_t{0x01},
                             uint8_t{0x01},
                             uint8_t{0x01},
                             uint8_t{0x01},
                             uint8_t{0x03},
                             uint8_t{0xFF},
                             uint8_t{0xFF},
                             uint8_t{0xFF},
                             uint8_t{0xFF},
                             static_cast<uint8_t>(pageBytes >> 8),
                             static_cast<uint8_t>(pageBytes & 0xFFU),
                             uint8_t{0x00},
                             uint8_t{0x00},
                             uint8_t{0x00},
                             uint8_t{0x00},
                             uint8_t{0x00},
                             uint8_t{0x00}};
    if (!command(request, {}, "SET_DEVICE (the page size)")) {
        return false;
    }
    pageBytes_ = pageBytes;
    return true;
}

int32_t ArduinoIsp::writeFlash(uint32_t address, std::span<const uint8_t> data, uint32_t pageBytes,
                               Progress progress, void* context) {
    error_.clear();
    if (!ready()) {
        return IO_FAILED;
    }
    if (!supportedPage(pageBytes) || data.size() % 2 != 0 || address % 2 != 0) {
        return failed("Arduino: the ArduinoISP sketch writes pages of 32, 64, 128 or 256 bytes "
                      "in whole words, not " +
                      std::to_string(pageBytes) + "-byte pages");
    }
    if (!setDevice(pageBytes)) {
        return IO_FAILED;
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const uint32_t at = address + static_cast<uint32_t>(done);
        // Blocks end on 256-byte boundaries, which are page boundaries too: the sketch writes
        // each page once, whole, and no block crosses 128 KiB.
        const uint32_t room = flashBlockBytes - at % flashBlockBytes;
        const auto length = static_cast<uint32_t>(std::min<std::size_t>(room, data.size() - done));
        if (!pointTo(at, true, "LOAD_ADDRESS (before writing flash)")) {
            return IO_FAILED;
        }
        std::vector<uint8_t> request{stk::progPage, static_cast<uint8_t>(length >> 8),
                                     static_cast<uint8_t>(length & 0xFFU), uint8_t{'F'}};
        const auto block = data.subspan(done, length);
        request.insert(request.end(), block.begin(), block.end());
        std::array<char, 64> what{};
        std::snprintf(what.data(), what.size(), "PROG_PAGE (writing flash at 0x%05X)", at);
        if (!command(request, {}, what.data())) {
            return IO_FAILED;
        }
        here_ = static_cast<uint16_t>((*here_ + length / 2) & 0xFFFFU);
        done += length;
        if (progress != nullptr && progress(static_cast<uint32_t>(done), context) != 0) {
            return IO_STOPPED;
        }
    }
    return IO_OK;
}

int32_t ArduinoIsp::readMemory(int32_t memory, uint32_t address, std::span<uint8_t> data,
                               Progress progress, void* context) {
    error_.clear();
    if (!ready()) {
        return IO_FAILED;
    }
    if (memory != IO_FLASH && memory != IO_EEPROM) {
        return failed("Arduino: no such memory " + std::to_string(memory));
    }
    const bool flash = memory == IO_FLASH;
    // The sketch reads from a word address: an odd start reads one byte more in front.
    const uint32_t first = address & ~1U;
    const uint32_t end = address + static_cast<uint32_t>(data.size());
    uint32_t at = first;
    std::vector<uint8_t> block;
    while (at < end) {
        uint32_t length = std::min(readBlockBytes, end - at);
        if (flash) {
            length = std::min(length, extendedSpan - at % extendedSpan);
            length += length % 2; // whole words
        }
        const char* what = flash ? "READ_PAGE (reading flash)" : "READ_PAGE (reading EEPROM)";
        if (!pointTo(at, flash,
                     flash ? "LOAD_ADDRESS (before reading flash)"
                           : "LOAD_ADDRESS (before reading EEPROM)")) {
            return IO_FAILED;
        }
        const std::array request{stk::readPage, static_cast<uint8_t>(length >> 8),
                                 static_cast<uint8_t>(length & 0xFFU),
                                 static_cast<uint8_t>(flash ? 'F' : 'E')};
        block.resize(length);
        if (!command(request, block, what)) {
            return IO_FAILED;
        }
        if (flash) {
            here_ = static_cast<uint16_t>((*here_ + length / 2) & 0xFFFFU);
        }
        const uint32_t from = std::max(at, address);
        const uint32_t to = std::min(at + length, end);
        std::copy(block.begin() + (from - at), block.begin() + (to - at),
                  data.begin() + (from - address));
        at += length;
        const uint32_t done = std::min(at, end) - address;
        if (progress != nullptr && progress(done, context) != 0) {
            return IO_STOPPED;
        }
    }
    return IO_OK;
}

int32_t ArduinoIsp::writeEeprom(uint32_t address, std::span<const uint8_t> data, Progress progress,
                                void* context) {
    error_.clear();
    if (!ready()) {
        return IO_FAILED;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto at = static_cast<uint32_t>(address + i);
        const std::array<uint8_t, 4> write{writeEepromByte, static_cast<uint8_t>(at >> 8),
                                           static_cast<uint8_t>(at & 0xFFU), data[i]};
        uint8_t answer = 0;
        if (!universal(write, answer, "Write EEPROM (universal C0)")) {
            return IO_FAILED;
        }
        const auto written = std::chrono::steady_clock::now();
        do {
            if (!universal(pollReady, answer, "Poll RDY/BSY (universal F0)")) {
                return IO_FAILED;
            }
        } while ((answer & 1U) != 0 &&
                 std::chrono::steady_clock::now() - written < timing_.eepromWriteLimit);
        if (progress != nullptr && progress(static_cast<uint32_t>(i + 1), context) != 0) {
            return IO_STOPPED;
        }
    }
    return IO_OK;
}

} // namespace quillon::arduino
