// SPDX-License-Identifier: MIT
#include "sim/arduino_sketch.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace quillon::sim {

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr uint8_t stkOk = 0x10;
constexpr uint8_t stkFailed = 0x11;
constexpr uint8_t stkUnknown = 0x12;
constexpr uint8_t stkInSync = 0x14;
constexpr uint8_t stkNoSync = 0x15;
constexpr uint8_t crcEop = 0x20;

constexpr milliseconds commitWait{30};      // PTIME, after each page commit
constexpr milliseconds eepromByteWait{45};  // after each byte of an EEPROM PROG_PAGE
constexpr std::size_t eepromChunk = 32;     // EEPROM PROG_PAGE data is read 32 bytes at a time
constexpr microseconds spiInstruction{128}; // 32 bits at 250 kHz (SPI at F_CPU / 64)

constexpr uint8_t hardwareVersion = 2;
constexpr uint8_t softwareMajor = 1;
constexpr uint8_t softwareMinor = 18;

speed_t speedOf(uint32_t baud) {
    switch (baud) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

// What a UART at one rate makes of a byte sent at another: not the byte.
uint8_t garbled(uint8_t byte) {
    return static_cast<uint8_t>(~byte);
}

} // namespace

ArduinoSketch::ArduinoSketch(const Config& chip, const SketchOptions& options)
    : faults_(options), board_(std::make_unique<Board>(chip, clock_)) {
    wire_ = std::make_unique<IspWire>(*board_, [this](microseconds time) { delay(time); });
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    std::array<char, 128> name{};
    if (::ptsname_r(master_, name.data(), name.size()) != 0) {
        throw std::runtime_error("no pseudo-terminal name");
    }
    port_ = name.data();
    // The slave stays open here too, so that the master never reads end-of-file between the
    // programmer's runs; it starts raw, so nothing is echoed before the programmer sets it up.
    slave_ = ::open(port_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    ::tcgetattr(slave_, &settings);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, speedOf(faults_.baud));
    ::cfsetospeed(&settings, speedOf(faults_.baud));
    ::tcsetattr(slave_, TCSANOW, &settings);
    thread_ = std::thread([this] { run(); });
}

ArduinoSketch::~ArduinoSketch() {
    stop_ = true;
    thread_.join();
    ::close(slave_);
    ::close(master_);
}

void ArduinoSketch::withBoard(const std::function<void(Board&)>& look) {
    const std::scoped_lock lock(mutex_);
    look(*board_);
}

SketchStatistics ArduinoSketch::statistics() {
    const std::scoped_lock lock(mutex_);
    return statistics_;
}

bool ArduinoSketch::baudMatches() const {
    termios settings{};
    return ::tcgetattr(master_, &settings) == 0 &&
           ::cfgetospeed(&settings) == speedOf(faults_.baud);
}

void ArduinoSketch::run() {
    while (!stop_) {
        try {
            const uint8_t command = getch();
            if (faults_.mute || hung_) {
                continue;
            }
            const std::scoped_lock lock(mutex_);
            if (answered_) {
                const auto gap = std::chrono::duration_cast<microseconds>(
                    std::chrono::steady_clock::now() - *answered_);
                statistics_.hostIdle += gap;
                statistics_.idleGaps.push_back(gap);
            }
            statistics_.commands.push_back(command);
            counted_ = faults_.onlyCommand == 0 || command == faults_.onlyCommand;
            commandCount_ += counted_ ? 1 : 0;
            injectNoise_ = counted_ && commandCount_ == faults_.noiseInCommand;
            buffer_[0] = command;
            avrisp();
            flush();
        } catch (const Stopped&) {
            return;
        }
    }
}

uint8_t ArduinoSketch::getch() {
    if (injectNoise_) {
        injectNoise_ = false;
        return 0x00;
    }
    while (true) {
        if (stop_) {
            throw Stopped{};
        }
        pollfd ready{master_, POLLIN, 0};
        if (::poll(&ready, 1, 20) <= 0 || (ready.revents & POLLIN) == 0) {
            continue;
        }
        uint8_t byte = 0;
        if (::read(master_, &byte, 1) != 1) {
            continue;
        }
        ++statistics_.bytesIn;
        pace(1);
        return baudMatches() ? byte : garbled(byte);
    }
}

void ArduinoSketch::fill(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t byte = getch();
        if (i < buffer_.size()) {
            buffer_[i] = byte;
        } else {
            hung_ = true; // past buff[256]: the sketch overwrites its own variables
        }
    }
}

void ArduinoSketch::put(uint8_t byte) {
    answer_.push_back(byte);
}

// The answer goes out at the end of each command (and before each of the sketch's waits, as a
// real UART would be sending it meanwhile).
void ArduinoSketch::flush() {
    if (hung_) {
        answer_.clear();
        return;
    }
    std::vector<uint8_t> out;
    if (faults_.strayBytes > 0 && statistics_.bytesOut == 0) {
        for (uint32_t i = 0; i < faults_.strayBytes; ++i) {
            out.push_back(static_cast<uint8_t>(0xF8 - i));
        }
    }
    out.insert(out.end(), answer_.begin(), answer_.end());
    answer_.clear();
    if (stopping()) { // the rest of this answer is lost on the line
        out.resize((out.size() + 1) / 2);
    }
    pace(out.size());
    const bool clean = baudMatches();
    for (uint8_t& byte : out) {
        byte = clean ? byte : garbled(byte);
    }
    std::size_t sent = 0;
    while (sent < out.size()) {
        const ssize_t n = ::write(master_, out.data() + sent, out.size() - sent);
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    statistics_.bytesOut += sent;
    answered_ = std::chrono::steady_clock::now();
}

// On a paced line each byte takes ten bit times: the sketch has a byte only once it has all come
// in, and an answer is there only once it has all gone out.
void ArduinoSketch::pace(std::size_t bytes) {
    if (!faults_.pacedLine || bytes == 0) {
        return;
    }
    const auto byteTime = microseconds{10'000'000 / faults_.baud};
    lineFree_ = std::max(lineFree_, std::chrono::steady_clock::now()) +
                byteTime * static_cast<int64_t>(bytes);
    std::this_thread::sleep_until(lineFree_);
}

bool ArduinoSketch::stopping() const {
    return counted_ && commandCount_ == faults_.stopInCommand;
}

void ArduinoSketch::delay(microseconds time) {
    if (!stopping()) {
        flush();
    }
    std::this_thread::sleep_for(time);
    statistics_.sketchWaits += time;
}

uint8_t ArduinoSketch::spi(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    if (!streaming_) {
        statistics_.spiTime += spiInstruction;
    }
    return wire_->instruction({a, b, c, d})[3];
}

void ArduinoSketch::emptyReply() {
    if (getch() == crcEop) {
        put(stkInSync);
        put(stkOk);
    } else {
        put(stkNoSync);
    }
}

void ArduinoSketch::byteReply(uint8_t value) {
    if (getch() == crcEop) {
        put(stkInSync);
        put(value);
        put(stkOk);
    } else {
        put(stkNoSync);
    }
}

void ArduinoSketch::avrisp() {
    switch (buffer_[0]) {
    case '0': // GET_SYNC
        emptyReply();
        break;
    case '1': // GET_SIGN_ON
        if (getch() == crcEop) {
            put(stkInSync);
            for (const char c : std::string_view("AVR ISP")) {
                put(static_cast<uint8_t>(c));
            }
            put(stkOk);
        } else {
            put(stkNoSync);
        }
        break;
    case 'A': { // GET_PARAMETER
        const uint8_t which = getch();
        byteReply(which == 0x80   ? hardwareVersion
                  : which == 0x81 ? softwareMajor
                  : which == 0x82 ? softwareMinor
                  : which == 0x93 ? uint8_t{'S'}
                                  : uint8_t{0});
        break;
    }
    case 'B': // SET_DEVICE
        fill(20);
        setParameters();
        emptyReply();
        break;
    case 'E': // SET_DEVICE_EXT, ignored
        fill(5);
        emptyReply();
        break;
    case 'P': // ENTER_PROGMODE
        if (!programming_) {
            startProgramming();
        }
        emptyReply();
        break;
    case 'U': { // LOAD_ADDRESS, a word address, low byte first
        const uint8_t low = getch();
        here_ = static_cast<uint16_t>(low | (getch() << 8));
        emptyReply();
        break;
    }
    case 0x60: // PROG_FLASH, ignored
        (void)getch();
        (void)getch();
        emptyReply();
        break;
    case 0x61: // PROG_DATA, ignored
        (void)getch();
        emptyReply();
        break;
    case 0x64: // PROG_PAGE
        programPage();
        break;
    case 0x74: // READ_PAGE
        readPage();
        break;
    case 'V': { // UNIVERSAL: the instruction's fourth answer byte
        fill(4);
        byteReply(spi(buffer_[0], buffer_[1], buffer_[2], buffer_[3]));
        break;
    }
    case 'Q': // LEAVE_PROGMODE
        endProgramming();
        emptyReply();
        break;
    case 0x75: // READ_SIGN
        readSignature();
        break;
    case crcEop: // a lone CRC_EOP: how a programmer gets back in step
        put(stkNoSync);
        break;
    default:
        put(getch() == crcEop ? stkUnknown : stkNoSync);
        break;
    }
}

void ArduinoSketch::setParameters() {
    parameters_.deviceCode = buffer_[0];
    parameters_.pageBytes = static_cast<uint16_t>(buffer_[12] << 8 | buffer_[13]);
    parameters_.eepromBytes = static_cast<uint16_t>(buffer_[14] << 8 | buffer_[15]);
}

// RESET inactive with SCK low, 20 ms, RESET active, 50 ms, Programming Enable; the echo isn't
// looked at. A device code from 0xE0 on means a part whose RESET is active high.
void ArduinoSketch::startProgramming() {
    const bool activeHigh = parameters_.deviceCode >= 0xE0;
    if (activeHigh) {
        wire_->release();
        delay(milliseconds{70});
    } else {
        wire_->holdReset();
        wire_->pulseReset(milliseconds{20});
        delay(milliseconds{50});
    }
    (void)spi(0xAC, 0x53, 0x00, 0x00);
    programming_ = true;
}

void ArduinoSketch::endProgramming() {
    wire_->release();
    programming_ = false;
}

void ArduinoSketch::programPage() {
    const uint8_t high = getch();
    const auto length = static_cast<uint16_t>(high << 8 | getch());
    const uint8_t memory = getch();
    if (memory == 'F') {
        fill(length);
        if (getch() == crcEop) {
            put(stkInSync);
            writeFlashPages(length);
            put(stkOk);
        } else {
            put(stkNoSync);
        }
        return;
    }
    if (memory == 'E') {
        const uint8_t result = writeEeprom(length);
        if (getch() == crcEop) {
            put(stkInSync);
            put(result);
        } else {
            put(stkNoSync);
        }
        return;
    }
    put(stkFailed);
}

uint16_t ArduinoSketch::currentPage() const {
    switch (parameters_.pageBytes) {
    case 32:
        return here_ & 0xFFF0U;
    case 64:
        return here_ & 0xFFE0U;
    case 128:
        return here_ & 0xFFC0U;
    case 256:
        return here_ & 0xFF80U;
    default:
        return here_;
    }
}

void ArduinoSketch::commit(uint16_t page) {
    (void)spi(0x4C, static_cast<uint8_t>(page >> 8), static_cast<uint8_t>(page & 0xFFU), 0);
    delay(commitWait);
}

void ArduinoSketch::writeFlashPages(uint16_t length) {
    uint16_t page = currentPage();
    for (std::size_t x = 0; x < length; x += 2) {
        if (page != currentPage()) {
            commit(page);
            page = currentPage();
        }
        const auto addressHigh = static_cast<uint8_t>(here_ >> 8);
        const auto addressLow = static_cast<uint8_t>(here_ & 0xFFU);
        (void)spi(0x40, addressHigh, addressLow, buffer_[x % buffer_.size()]);
        (void)spi(0x48, addressHigh, addressLow, buffer_[(x + 1) % buffer_.size()]);
        ++here_;
    }
    commit(page);
}

uint8_t ArduinoSketch::writeEeprom(uint16_t length) {
    auto start = static_cast<uint16_t>(here_ * 2); // a word address made a byte address
    if (length > parameters_.eepromBytes) {
        return stkFailed; // the data is left unread: it comes next as commands
    }
    uint16_t remaining = length;
    while (remaining > 0) {
        const auto chunk = static_cast<uint16_t>(std::min<std::size_t>(remaining, eepromChunk));
        fill(chunk);
        for (uint16_t x = 0; x < chunk; ++x) {
            const auto address = static_cast<uint16_t>(start + x);
            (void)spi(0xC0, static_cast<uint8_t>(address >> 8),
                      static_cast<uint8_t>(address & 0xFFU), buffer_[x]);
            delay(eepromByteWait);
        }
        start = static_cast<uint16_t>(start + chunk);
        remaining = static_cast<uint16_t>(remaining - chunk);
    }
    return stkOk;
}

void ArduinoSketch::readPage() {
    const uint8_t high = getch();
    const auto length = static_cast<uint16_t>(high << 8 | getch());
    const uint8_t memory = getch();
    if (getch() != crcEop) {
        put(stkNoSync);
        return;
    }
    put(stkInSync);
    streaming_ = true;
    uint8_t result = stkFailed;
    if (memory == 'F') {
        for (std::size_t x = 0; x < length; x += 2) {
            const auto addressHigh = static_cast<uint8_t>(here_ >> 8);
            const auto addressLow = static_cast<uint8_t>(here_ & 0xFFU);
            put(spi(0x20, addressHigh, addressLow, 0));
            put(spi(0x28, addressHigh, addressLow, 0));
            ++here_;
        }
        result = stkOk;
    } else if (memory == 'E') {
        const auto start = static_cast<uint16_t>(here_ * 2);
        for (uint16_t x = 0; x < length; ++x) {
            const auto address = static_cast<uint16_t>(start + x);
            put(spi(0xA0, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFFU),
                    0xFF));
        }
        result = stkOk;
    }
    streaming_ = false;
    put(result);
}

void ArduinoSketch::readSignature() {
    if (getch() != crcEop) {
        put(stkNoSync);
        return;
    }
    put(stkInSync);
    for (uint8_t i = 0; i < 3; ++i) {
        put(spi(0x30, 0x00, i, 0x00));
    }
    put(stkOk);
}

} // namespace quillon::sim
