// SPDX-License-Identifier: MIT
// The adapter's port bits on GPIO lines: the configuration, the line request and its changes,
// the hold time, and failures that say what to do.
#include "gpio_adapter.h"

#include "settings_list.h"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>

namespace quillon::gpio {

namespace {

using settings::parseNumber;

constexpr uint8_t resetBits = bitMask(resetLine6) | bitMask(resetLine7);

constexpr uint32_t longestHold = 100000;
constexpr char consumerName[] = "quillon";
// What the messages suggest for each line: the defaults, and a free pin for the enable line.
constexpr std::array<uint32_t, 5> exampleLines{11, 10, 25, 9, 24};

[[nodiscard]] constexpr uint64_t maskOf(Line line) {
    return uint64_t{1} << static_cast<unsigned>(line);
}

} // namespace

std::optional<GpioConfig> parseConfig(std::string_view text, std::string& problem) {
    GpioConfig config;
    const auto bad = [&](std::string_view item, const std::string& why) {
        problem = "QUILLON_GPIO: '" + std::string(item) + "' " + why;
        return false;
    };
    const bool read = settings::readList(text, [&](std::string_view item, std::string_view key,
                                                   std::string_view value) {
        if (key == "chip") {
            if (value.empty()) {
                return bad(item, "needs a GPIO chip, such as chip=gpiochip0");
            }
            config.chip = value.find('/') == std::string_view::npos ? "/dev/" + std::string(value)
                                                                    : std::string(value);
            return true;
        }
        uint32_t number = 0;
        const bool isNumber = parseNumber(value, number);
        if (key == "hold") {
            if (!isNumber || number > longestHold) {
                return bad(item, "needs microseconds from 0 to " + std::to_string(longestHold) +
                                     ", such as hold=2");
            }
            config.holdMicros = number;
            return true;
        }
        std::size_t line = 0;
        while (line < lineNames.size() && lineNames[line] != key) {
            ++line;
        }
        if (line == lineNames.size()) {
            return bad(item, "is not one of chip=, sck=, mosi=, miso=, reset=, enable=, hold=");
        }
        if (!isNumber) {
            return bad(item, "needs a line number of the chip, such as " +
                                 std::string(lineNames.at(line)) + "=" +
                                 std::to_string(exampleLines.at(line)));
        }
        if (static_cast<Line>(line) == Line::Enable) {
            config.enable = number;
        } else {
            config.lines.at(line) = number;
        }
        return true;
    });
    if (!read) {
        return std::nullopt;
    }
    std::array<std::optional<uint32_t>, 5> offsets{};
    std::copy(config.lines.begin(), config.lines.end(), offsets.begin());
    offsets.back() = config.enable;
    for (std::size_t a = 0; a < offsets.size(); ++a) {
        for (std::size_t b = a + 1; b < offsets.size(); ++b) {
            if (offsets.at(b) && offsets.at(a) == offsets.at(b)) {
                problem = "QUILLON_GPIO: " + std::string(lineNames.at(a)) + " and " +
                          std::string(lineNames.at(b)) + " are both line " +
                          std::to_string(*offsets.at(b)) + "; each needs a line of its own";
                return std::nullopt;
            }
        }
    }
    return config;
}

GpioAdapter::GpioAdapter(const GpioSystem& system, std::string configText)
    : system_(system), configText_(std::move(configText)), lines_(system) {}

GpioAdapter::~GpioAdapter() {
    release();
}

GpioAdapter::Levels GpioAdapter::levelsFor(uint8_t data) {
    return {(data & bitMask(enableHigh)) == 0, (data & bitMask(enableLow)) == 0,
            (data & bitMask(sckLine)) != 0, (data & bitMask(mosiLine)) != 0,
            (data & resetBits) == resetBits};
}

bool GpioAdapter::claimed() {
    if (state_ == State::Untried) {
        state_ = claim() ? State::Claimed : State::Unreachable;
    }
    return state_ == State::Claimed;
}

bool GpioAdapter::claim() {
    std::string problem;
    const auto config = parseConfig(configText_, problem);
    if (!config) {
        fail("io library: " + problem);
        return false;
    }
    config_ = *config;
    std::array<uint32_t, 5> offsets{};
    std::copy(config_.lines.begin(), config_.lines.end(), offsets.begin());
    offsets.back() = config_.enable.value_or(0);
    // Claimed as they are wired for a target left running: SCK, MOSI and RESET released, the
    // buffer (if any) off.
    applied_ = levelsFor(data_);
    const uint64_t enable = config_.enable ? maskOf(Line::Enable) : 0;
    if (!lines_.request(config_.chip, std::span(offsets).first(config_.enable ? 5 : 4),
                        consumerName, enable, enable)) {
        failLines();
        return false;
    }
    lastChange_ = system_.nanoseconds();
    return true;
}

std::string GpioAdapter::lineInUse() {
    const std::string device = "io library: " + config_.chip;
    const io::GpioLines::Failure& failure = lines_.failure();
    if (failure.consumer.empty()) {
        return device + ": a line is in use by another program or driver; stop it, or wire the "
                        "adapter to free lines and name them in QUILLON_GPIO";
    }
    const uint32_t offset =
        failure.line < 4 ? config_.lines.at(failure.line) : config_.enable.value_or(0);
    std::string message = device;
    message += ": line ";
    message += std::to_string(offset);
    message += " (";
    message += lineNames.at(failure.line);
    message += ") is in use by ";
    message += failure.consumer;
    message += ": free it (for the SPI driver on a Raspberry Pi: dtparam=spi=off in "
               "/boot/firmware/config.txt, then reboot) or wire the adapter to free lines "
               "and name them in QUILLON_GPIO";
    return message;
}

void GpioAdapter::failLines() {
    const io::GpioLines::Failure& failure = lines_.failure();
    const std::string device = "io library: " + config_.chip;
    if (failure.problem == io::GpioLines::Problem::Busy) {
        fail(lineInUse());
        return;
    }
    if (failure.problem == io::GpioLines::Problem::NoSuchLine) {
        const uint32_t offset =
            failure.line < 4 ? config_.lines.at(failure.line) : config_.enable.value_or(0);
        fail(device + " has " + std::to_string(failure.chipLines) + " lines, numbered from 0; " +
             std::string(lineNames.at(failure.line)) + "=" + std::to_string(offset) +
             " is not one of them: name its lines in QUILLON_GPIO");
        return;
    }
    switch (failure.error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        fail(device + " not found: this computer has no GPIO chip of that name (ls /dev/gpiochip*; "
                      "name another with chip= in QUILLON_GPIO)");
        return;
    case EACCES:
    case EPERM: {
        // cppcheck-suppress stlcstrConstructor ; deviceGroup takes a C string
        const std::string group = system_.deviceGroup(config_.chip.c_str());
        fail(device + ": permission denied: join the group that owns it" +
             (group.empty() ? " (see ls -l " + config_.chip + ")"
                            : ", " + group + " (sudo usermod -aG " + group + " $USER)") +
             ", then log in again");
        return;
    }
    default:
        fail(device + ": " + failure.what + " failed: " + std::strerror(failure.error));
    }
}

void GpioAdapter::fail(const std::string& message) {
    lines_.close();
    state_ = State::Unreachable;
    if (!reported_) {
        reported_ = true;
        system_.report(message + "; the adapter now reads as if nothing were plugged in");
    }
}

void GpioAdapter::holdLastChange() const {
    const int64_t until = lastChange_ + int64_t{config_.holdMicros} * 1000;
    while (config_.holdMicros != 0 && system_.nanoseconds() < until) {
        // a line level must last the hold time
    }
}

bool GpioAdapter::configure(const Levels& levels, const char* what) {
    uint64_t driven = levels.clockDriven ? maskOf(Line::Sck) | maskOf(Line::Mosi) : 0;
    driven |= levels.resetDriven ? maskOf(Line::Reset) : 0;
    uint64_t values = (levels.sck ? maskOf(Line::Sck) : 0) |
                      (levels.mosi ? maskOf(Line::Mosi) : 0) |
                      (levels.reset ? maskOf(Line::Reset) : 0);
    if (config_.enable) {
        driven |= maskOf(Line::Enable);
        values |= levels.enableLow() ? 0 : maskOf(Line::Enable);
    }
    holdLastChange();
    if (!lines_.configure(driven, values, what)) {
        failLines();
        return false;
    }
    lastChange_ = system_.nanoseconds();
    applied_ = levels;
    return true;
}

void GpioAdapter::writeData(uint8_t value) {
    const bool lines = claimed(); // from the levels before this write
    data_ = value;
    if (!lines) {
        return;
    }
    const Levels next = levelsFor(value);
    if (next.clockDriven != applied_.clockDriven || next.resetDriven != applied_.resetDriven) {
        (void)configure(next, "switching the lines");
        return;
    }
    uint64_t mask = 0;
    uint64_t bits = 0;
    const auto changed = [&](bool driven, bool now, bool before, Line line) {
        if (driven && now != before) {
            mask |= maskOf(line);
            bits |= now ? maskOf(line) : 0;
        }
    };
    changed(next.clockDriven, next.sck, applied_.sck, Line::Sck);
    changed(next.clockDriven, next.mosi, applied_.mosi, Line::Mosi);
    changed(next.resetDriven, next.reset, applied_.reset, Line::Reset);
    applied_ = next;
    if (mask == 0) {
        return; // released lines, or levels the lines already have
    }
    holdLastChange();
    if (!lines_.set(mask, bits, "setting the lines")) {
        failLines();
        return;
    }
    lastChange_ = system_.nanoseconds();
}

uint8_t GpioAdapter::status() {
    if (!claimed()) {
        return statusWithNothingPlugged;
    }
    const auto miso = lines_.get(maskOf(Line::Miso), "reading MISO");
    if (!miso) {
        failLines();
        return statusWithNothingPlugged;
    }
    uint8_t status = unusedStatusBits;
    status |= (data_ & bitMask(loopBackOutA)) != 0 ? bitMask(loopBackInA) : 0;
    status |= (*miso & maskOf(Line::Miso)) != 0 ? bitMask(misoLine) : 0;
    status |= (data_ & bitMask(loopBackOutB)) == 0 ? bitMask(loopBackInB) : 0;
    return status;
}

void GpioAdapter::release() {
    if (state_ != State::Claimed) {
        return;
    }
    // Let the target run: everything released, the buffer off.
    const bool released = !applied_.clockDriven && !applied_.resetDriven;
    if (released || configure(levelsFor(releasedData), "releasing the lines")) {
        lines_.close();
    }
    state_ = State::Untried;
    data_ = releasedData;
}

uint8_t GpioAdapter::in(uint16_t port) {
    if (port == dataPort) {
        return data_;
    }
    return port == statusPort ? status() : 0xFF;
}

void GpioAdapter::out(uint16_t port, uint8_t value) {
    if (port == dataPort) {
        writeData(value);
    }
}

void GpioAdapter::setBit(uint16_t port, unsigned bit, bool level) {
    if (bit < 8 && port == dataPort) {
        const auto mask = static_cast<uint8_t>(1U << bit);
        writeData(level ? static_cast<uint8_t>(data_ | mask) : static_cast<uint8_t>(data_ & ~mask));
    }
}

} // namespace quillon::gpio
