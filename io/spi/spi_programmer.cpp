// SPDX-License-Identifier: MIT
// The SPI programmer: its settings, the controller's set-up, RESET on a GPIO line, Programming
// Enable and its search for a speed the target follows, and failures that say what to do.
#include "spi_programmer.h"

#include "settings_list.h"
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <linux/spi/spidev.h>

namespace quillon::spi {

namespace {

using settings::parseNumber;
using settings::trimmed;
using std::chrono::nanoseconds;

constexpr char consumerName[] = "quillon";
constexpr std::array<uint8_t, 4> programmingEnable{0xAC, 0x53, 0x00, 0x00};
constexpr uint8_t inStep = 0x53;
// The positive pulse on RESET: at least two cycles of the slowest clock a part runs on (128 kHz).
constexpr nanoseconds resetPulse = std::chrono::microseconds{100};
// The data sheets ask for 20 ms before Programming Enable; the program waits 30 on the bit level.
constexpr nanoseconds enableDelay = std::chrono::milliseconds{30};
// Programming Enable tries at the set speed, each after a RESET pulse, as the data sheets advise
// for a target that answered out of step.
constexpr int tries = 2;
// The slowest rate the search for one the target follows goes down to.
constexpr uint32_t slowestProbe = 2000;

[[nodiscard]] std::string inDev(std::string_view name) {
    return name.find('/') == std::string_view::npos ? "/dev/" + std::string(name)
                                                    : std::string(name);
}

// The chip and line of "reset=": CHIP:LINE, LINE or CHIP.
[[nodiscard]] bool parseReset(std::string_view value, SpiConfig& config) {
    const auto colon = value.rfind(':');
    uint32_t line = 0;
    if (colon != std::string_view::npos) {
        const std::string_view chip = trimmed(value.substr(0, colon));
        if (chip.empty() || !parseNumber(trimmed(value.substr(colon + 1)), line)) {
            return false;
        }
        config.resetChip = inDev(chip);
        config.resetLine = line;
    } else if (parseNumber(value, line)) {
        config.resetLine = line;
    } else if (!value.empty() && (value[0] < '0' || value[0] > '9')) {
        config.resetChip = inDev(value);
    } else {
        return false;
    }
    return true;
}

void wait(const io::LinuxSystem& system, nanoseconds time) {
    io::pause(system, time.count());
}

} // namespace

std::optional<SpiConfig> parseConfig(std::string_view text, std::string& problem) {
    SpiConfig config;
    const auto bad = [&](std::string_view item, std::string_view why) {
        problem = "QUILLON_SPI: '" + std::string(item) + "' " + std::string(why);
        return false;
    };
    const bool read = settings::readList(
        text, [&](std::string_view item, std::string_view key, std::string_view value) {
            if (key == "device") {
                if (value.empty()) {
                    return bad(item, "needs an SPI device, such as device=/dev/spidev0.0");
                }
                config.device = inDev(value);
            } else if (key == "reset") {
                if (!parseReset(value, config)) {
                    return bad(item, "needs a GPIO chip and line, such as reset=gpiochip0:25");
                }
            } else if (key == "speed") {
                uint32_t hz = 0;
                if (!parseNumber(value, hz) || hz < slowestSpeed || hz > fastestSpeed) {
                    return bad(item, "needs the SCK rate in Hz from " +
                                         std::to_string(slowestSpeed) + " to " +
                                         std::to_string(fastestSpeed) + ", such as speed=200000");
                }
                config.speedHz = hz;
            } else {
                return bad(item, "is not one of device=, reset=, speed=");
            }
            return true;
        });
    return read ? std::optional(config) : std::nullopt;
}

SpiProgrammer::SpiProgrammer(const io::LinuxSystem& system, std::string configText)
    : system_(system), configText_(std::move(configText)), reset_(system) {}

SpiProgrammer::~SpiProgrammer() {
    letGo();
    reset_.close();
    if (fd_ >= 0) {
        (void)system_.close(fd_);
    }
}

bool SpiProgrammer::fail(const std::string& message) {
    letGo();
    error_ = "io library: " + message;
    lost_ = resetLost_ ? error_ : lost_;
    resetLost_ = false;
    return false;
}

bool SpiProgrammer::failDevice(const std::string& path, const char* what, int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        if (path == config_.device) {
            return fail(path + " not found: turn the SPI controller on (dtparam=spi=on in "
                               "/boot/firmware/config.txt, or raspi-config: Interface Options, "
                               "SPI) and reboot, or name the device with device= in QUILLON_SPI");
        }
        return fail(path + " not found: this computer has no GPIO chip of that name (ls "
                           "/dev/gpiochip*; name RESET's chip and line with reset=gpiochip0:25 "
                           "in QUILLON_SPI)");
    case EACCES:
    case EPERM:
        return fail(path + ": permission denied: join the spi and gpio groups (sudo usermod -aG "
                           "spi,gpio $USER), then log in again");
    case ENOTTY:
    case EINVAL:
        if (path == config_.device) {
            return fail(path + ": " + what +
                        " failed: it is not an SPI device (ls /dev/spidev*; "
                        "name one with device= in QUILLON_SPI)");
        }
        break;
    default:
        break;
    }
    return fail(path + ": " + what + " failed: " + std::strerror(error));
}

bool SpiProgrammer::failReset() {
    resetLost_ = true;
    const io::GpioLines::Failure& failure = reset_.failure();
    const std::string line = "line " + std::to_string(config_.resetLine) + " (RESET)";
    switch (failure.problem) {
    case io::GpioLines::Problem::Busy:
        return fail(config_.resetChip + ": " + line + " is in use by " +
                    (failure.consumer.empty() ? std::string("another program") : failure.consumer) +
                    ": stop the program that holds it, or wire RESET to a free line and name it "
                    "with reset= in QUILLON_SPI");
    case io::GpioLines::Problem::NoSuchLine:
        return fail(config_.resetChip + " has " + std::to_string(failure.chipLines) +
                    " lines, numbered from 0; " + line +
                    " is not one of them: name RESET's line with reset= in QUILLON_SPI");
    case io::GpioLines::Problem::Call:
        break;
    }
    return failDevice(config_.resetChip, failure.what, failure.error);
}

bool SpiProgrammer::setUp(unsigned long request, void* value, const char* what) {
    return system_.ioctl(fd_, request, value) == 0 || failDevice(config_.device, what, errno);
}

bool SpiProgrammer::open() {
    error_.clear();
    if (fd_ >= 0) {
        return true;
    }
    std::string problem;
    const auto config = parseConfig(configText_, problem);
    if (!config) {
        return fail(problem);
    }
    config_ = *config;
    fd_ = system_.open(config_.device.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
        return failDevice(config_.device, "open", errno);
    }
    // Mode 0; the mode byte's other bits clear, most significant bit first among them.
    uint8_t mode = SPI_MODE_0;
    uint8_t bits = 8;
    uint32_t speed = config_.speedHz;
    const std::array<uint32_t, 1> line{config_.resetLine};
    const bool ready = setUp(SPI_IOC_WR_MODE, &mode, "setting SPI mode 0") &&
                       setUp(SPI_IOC_WR_BITS_PER_WORD, &bits, "setting 8-bit words") &&
                       setUp(SPI_IOC_WR_MAX_SPEED_HZ, &speed, "setting the speed") &&
                       // RESET claimed released: the target runs until the program takes it.
                       (reset_.request(config_.resetChip, line, consumerName, 0, 0) || failReset());
    if (!ready) {
        (void)system_.close(fd_);
        fd_ = -1;
    }
    return ready;
}

bool SpiProgrammer::transfer(const std::array<uint8_t, 4>& out, std::array<uint8_t, 4>& in,
                             uint32_t speedHz) {
    if (fd_ < 0) {
        return fail("the programmer is not open");
    }
    spi_ioc_transfer message{};
    message.tx_buf = reinterpret_cast<uintptr_t>(out.data());
    message.rx_buf = reinterpret_cast<uintptr_t>(in.data());
    message.len = out.size();
    message.speed_hz = speedHz;
    message.bits_per_word = 8;
    if (system_.ioctl(fd_, SPI_IOC_MESSAGE(1), &message) < 0) {
        const int error = errno;
        return fail(config_.device + ": the transfer failed: " + std::strerror(error) +
                    "; the target is released");
    }
    return true;
}

bool SpiProgrammer::driveReset(bool high) {
    if (!reset_.configure(1, high ? 1 : 0, "driving RESET")) {
        holding_ = false;
        return failReset();
    }
    holding_ = true;
    return true;
}

bool SpiProgrammer::tryEnable(uint32_t speedHz, uint8_t& echo) {
    if (!driveReset(true)) {
        return false;
    }
    wait(system_, resetPulse);
    if (!driveReset(false)) {
        return false;
    }
    wait(system_, enableDelay);
    std::array<uint8_t, 4> answer{};
    if (!transfer(programmingEnable, answer, speedHz)) {
        return false;
    }
    echo = answer[2];
    return true;
}

bool SpiProgrammer::enable(uint8_t& echo) {
    error_.clear();
    echo = 0;
    if (!reset_.requested()) {
        error_ = lost_.empty() ? "io library: the programmer is not open" : lost_;
        return false;
    }
    // SCK idles low between transfers (mode 0); RESET goes low with it.
    if (!driveReset(false)) {
        return false;
    }
    wait(system_, resetPulse);
    for (int i = 0; i < tries; ++i) {
        if (!tryEnable(config_.speedHz, echo)) {
            return false;
        }
        if (echo == inStep) {
            return true;
        }
    }
    // A target whose clock is too slow for the SCK loses step: see whether it follows a slower
    // one, to name it.
    for (uint32_t probe = config_.speedHz / 2; probe >= slowestProbe; probe /= 2) {
        uint8_t probeEcho = 0;
        if (!tryEnable(probe, probeEcho)) {
            return false;
        }
        if (probeEcho == inStep) {
            return fail("the target doesn't answer at speed=" + std::to_string(config_.speedHz) +
                        " Hz, too fast for its clock, but does at " + std::to_string(probe) +
                        ": name speed=" + std::to_string(probe) + " or slower in QUILLON_SPI");
        }
    }
    return true; // nothing answers: the program says so
}

bool SpiProgrammer::instruction(const std::array<uint8_t, 4>& out, std::array<uint8_t, 4>& in) {
    error_.clear();
    return transfer(out, in, config_.speedHz);
}

void SpiProgrammer::letGo() {
    if (holding_ && reset_.requested()) {
        holding_ = false;
        (void)reset_.configure(0, 0, "releasing RESET");
    }
}

bool SpiProgrammer::release() {
    error_.clear();
    if (!holding_) {
        return true;
    }
    holding_ = false;
    return reset_.configure(0, 0, "releasing RESET") || failReset();
}

} // namespace quillon::spi
