// SPDX-License-Identifier: MIT
// The parallel ports over ppdev: claim on first use, a shadow of the data register so that one
// bit changes with a single write, and a port that can't be reached reads as one with nothing
// plugged in.
#include "parallel_ports.h"

#include "settings_list.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillon::ppdev {

namespace {

using settings::parseNumber;

constexpr std::string_view openStep = "open";
constexpr std::string_view unreachableNote = "; the port now reads as if nothing were plugged in";

// What the user can do about a failure, by the step that failed and the error the system gave.
std::string explain(const PortSystem& system, const std::string& path, std::string_view what,
                    int error) {
    const std::string device = "io library: " + path;
    const bool opening = what == openStep;
    if (error == EBUSY) {
        return device + " is busy: another driver or program holds the parallel port (the "
                        "printer driver: sudo rmmod lp); stop it and try again";
    }
    if (opening && (error == ENOENT || error == ENODEV || error == ENXIO)) {
        return device +
               " not found: there is no parallel port with that number, or the kernel modules "
               "parport_pc and ppdev are not loaded (sudo modprobe -a parport_pc ppdev); for a "
               "PCIe card's port set QUILLON_PARPORT=parportN";
    }
    if (error == ENXIO) {
        // The claim's answer both for a device without a port and for an exclusive claim refused
        // because another driver is registered on the port.
        return device + ": " + std::string(what) +
               " failed: another driver, usually the printer driver lp, uses the port (sudo "
               "rmmod lp), or no port is behind the device (see dmesg)";
    }
    if (error == EACCES || error == EPERM) {
        // cppcheck-suppress stlcstrConstructor ; deviceGroup takes a C string and returns a string
        const std::string group = system.deviceGroup(path.c_str());
        const std::string join = group.empty() ? "usually lp (see ls -l " + path + ")"
                                               : group + " (sudo usermod -aG " + group + " $USER)";
        return device + ": permission denied: join the group that owns it, " + join +
               ", then log in again";
    }
    return device + ": " + std::string(what) + " failed: " + std::strerror(error);
}

// "parport" and a number: a ppdev device in /dev.
bool isDeviceName(std::string_view name) {
    constexpr std::string_view prefix = "parport";
    return name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix &&
           name.find_first_not_of("0123456789", prefix.size()) == std::string_view::npos;
}

PortConfig usableConfig(std::string_view text, std::string& problem) {
    const auto config = parseConfig(text, problem);
    return config ? *config : PortConfig{};
}

} // namespace

std::optional<PortConfig> parseConfig(std::string_view text, std::string& problem) {
    PortConfig config;
    bool named = false;
    const auto bad = [&](std::string_view item, const std::string& why) {
        problem = "QUILLON_PARPORT: '" + std::string(item) + "' " + why;
        return false;
    };
    const bool read = settings::readList(text, [&](std::string_view item, std::string_view name,
                                                   std::string_view value) {
        if (item.find('=') == std::string_view::npos) {
            if (named) {
                return bad(item, "is a second device: name one only");
            }
            const bool path = item.find('/') != std::string_view::npos;
            if (!path && !isDeviceName(item)) {
                return bad(item, "is not a parallel port: name one as parport1 or /dev/parport1");
            }
            config.device = path ? std::string(item) : "/dev/" + std::string(item);
            named = true;
            return true;
        }
        if (name != "hold") {
            return bad(item, "is neither a device nor hold=");
        }
        uint32_t micros = 0;
        if (!parseNumber(value, micros) || micros > longestHold) {
            return bad(item, "needs microseconds from 0 to " + std::to_string(longestHold) +
                                 ", such as hold=5");
        }
        config.holdMicros = micros;
        return true;
    });
    return read ? std::optional(config) : std::nullopt;
}

ParallelPort::ParallelPort(const PortSystem& system, std::string devicePath, uint32_t holdMicros)
    : system_(system), path_(std::move(devicePath)), holdMicros_(holdMicros) {}

ParallelPort::~ParallelPort() {
    release();
}

bool ParallelPort::claimed() {
    if (state_ == State::Untried) {
        state_ = claim() ? State::Claimed : State::Unreachable;
    }
    return state_ == State::Claimed;
}

bool ParallelPort::claim() {
    if (path_.empty()) {
        return false;
    }
    fd_ = system_.open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
        fail(openStep, errno);
        return false;
    }
    // Exclusively, so that no printer driver writes to the port while it is ours.
    if (!control(PPEXCL, nullptr, "claiming the port exclusively") ||
        !control(PPCLAIM, nullptr, "claiming the port")) {
        return false;
    }
    state_ = State::Claimed;
    // A port that another program left in reverse mode would drive none of the data lines.
    int forward = 0;
    if (!change(PPDATADIR, &forward, "switching the data lines to output")) {
        return false;
    }
    // The shadow starts from the levels the port already drives, so that the first single-bit
    // change leaves the other seven lines as they were instead of pulling them low.
    return control(PPRDATA, &dataShadow_, "reading the data register");
}

void ParallelPort::fail(std::string_view what, int error) {
    if (fd_ >= 0) {
        if (state_ == State::Claimed) {
            (void)system_.ioctl(fd_, PPRELEASE, nullptr);
        }
        (void)system_.close(fd_);
        fd_ = -1;
    }
    state_ = State::Unreachable;
    if (!reported_) {
        reported_ = true;
        system_.report(explain(system_, path_, what, error) + std::string(unreachableNote));
    }
}

bool ParallelPort::control(unsigned long request, uint8_t* value, const char* what) {
    if (system_.ioctl(fd_, request, value) != 0) {
        fail(what, errno);
        return false;
    }
    return true;
}

bool ParallelPort::change(unsigned long request, void* argument, const char* what) {
    const int64_t until = lastChange_ + int64_t{holdMicros_} * 1000;
    while (holdMicros_ != 0 && system_.nanoseconds() < until) {
        // the lines keep their levels for the hold time
    }
    if (system_.ioctl(fd_, request, argument) != 0) {
        fail(what, errno);
        return false;
    }
    lastChange_ = system_.nanoseconds();
    return true;
}

void ParallelPort::release() {
    if (state_ != State::Claimed) {
        return;
    }
    const bool released = system_.ioctl(fd_, PPRELEASE, nullptr) == 0;
    const int releaseError = errno;
    const bool closed = system_.close(fd_) == 0;
    const int closeError = errno;
    fd_ = -1;
    state_ = State::Untried;
    if (!released || !closed) {
        state_ = State::Unreachable;
        fail(released ? "close" : "release", released ? closeError : releaseError);
    }
}

uint8_t ParallelPort::read(Register reg) {
    if (!claimed()) {
        return 0;
    }
    uint8_t value = 0;
    switch (reg) {
    case Register::Data:
        return control(PPRDATA, &value, "reading the data register") ? value : 0;
    case Register::Status:
        // The status register as the hardware shows it: bit 7 (pin 11, BUSY) arrives inverted,
        // the same value a direct read of the port's status address gives.
        return control(PPRSTATUS, &value, "reading the status register") ? value : 0;
    case Register::Control:
        return control(PPRCONTROL, &value, "reading the control register") ? value : 0;
    }
    return 0;
}

void ParallelPort::write(Register reg, uint8_t value) {
    if (reg == Register::Status || !claimed()) {
        return;
    }
    if (reg == Register::Data) {
        dataShadow_ = value;
        (void)change(PPWDATA, &value, "writing the data register");
    } else {
        (void)change(PPWCONTROL, &value, "writing the control register");
    }
}

void ParallelPort::writeBit(Register reg, unsigned bit, bool level) {
    if (bit > 7 || reg == Register::Status || !claimed()) {
        return;
    }
    const auto mask = static_cast<uint8_t>(1U << bit);
    const uint8_t current = reg == Register::Data ? dataShadow_ : read(reg);
    if (state_ != State::Claimed) {
        return; // reading the control register lost the port
    }
    write(reg,
          level ? static_cast<uint8_t>(current | mask) : static_cast<uint8_t>(current & ~mask));
}

ParallelPorts::ParallelPorts(const PortSystem& system, std::string_view configText)
    : system_(system), config_(usableConfig(configText, problem_)),
      ports_{ParallelPort(system, config_.device, config_.holdMicros),
             ParallelPort(system, otherDevice("/dev/parport1"), config_.holdMicros),
             ParallelPort(system, otherDevice("/dev/parport2"), config_.holdMicros)} {}

std::string ParallelPorts::otherDevice(std::string_view path) const {
    return path == config_.device ? std::string{} : std::string(path);
}

bool ParallelPorts::configured() {
    if (!problem_.empty() && !problemReported_) {
        problemReported_ = true;
        system_.report("io library: " + problem_ + std::string(unreachableNote));
    }
    return problem_.empty();
}

ParallelPorts::Location ParallelPorts::locate(uint16_t address) {
    if (!configured()) {
        return {nullptr, Register::Data};
    }
    for (std::size_t i = 0; i < portBases.size(); ++i) {
        if (address >= portBases[i] && address <= portBases[i] + 2) {
            const auto offset = address - portBases[i];
            const Register reg = offset == 0   ? Register::Data
                                 : offset == 1 ? Register::Status
                                               : Register::Control;
            return {&ports_[i], reg};
        }
    }
    return {nullptr, Register::Data};
}

uint8_t ParallelPorts::in(uint16_t address) {
    const Location at = locate(address);
    return at.port != nullptr ? at.port->read(at.reg) : 0;
}

void ParallelPorts::out(uint16_t address, uint8_t value) {
    const Location at = locate(address);
    if (at.port != nullptr) {
        at.port->write(at.reg, value);
    }
}

void ParallelPorts::setBit(uint16_t address, unsigned bit, bool level) {
    const Location at = locate(address);
    if (at.port != nullptr) {
        at.port->writeBit(at.reg, bit, level);
    }
}

bool ParallelPorts::standardPortReachable() {
    return configured() && ports_[0].claimed();
}

} // namespace quillon::ppdev
