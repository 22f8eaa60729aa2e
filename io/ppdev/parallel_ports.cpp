// SPDX-License-Identifier: MIT
// The parallel ports over ppdev: claim on first use, a shadow of the data register so that one
// bit changes with a single write, and a port that can't be reached reads as one with nothing
// plugged in.
#include "parallel_ports.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::ppdev {

namespace {

int systemOpen(const char* path, int flags) {
    return ::open(path, flags);
}

int systemIoctl(int fd, unsigned long request, void* argument) {
    return ::ioctl(fd, request, argument);
}

int systemClose(int fd) {
    return ::close(fd);
}

std::string systemDeviceGroup(const char* path) {
    struct stat info {};
    if (::stat(path, &info) != 0) {
        return {};
    }
    const group* owner = ::getgrgid(info.st_gid);
    return owner != nullptr && owner->gr_name != nullptr ? owner->gr_name : std::string{};
}

void systemReport(const std::string& message) {
    std::fputs(message.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// What the user can do about a failure, by the error the system gave.
std::string explain(const PortSystem& system, const std::string& path, const char* what,
                    int error) {
    const std::string device = "io library: " + path;
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return device +
               " not found: there is no parallel port with that number, or the kernel modules "
               "parport_pc and ppdev are not loaded (sudo modprobe -a parport_pc ppdev)";
    case EACCES:
    case EPERM: {
        // cppcheck-suppress stlcstrConstructor ; deviceGroup takes a C string and returns a string
        const std::string group = system.deviceGroup(path.c_str());
        if (group.empty()) {
            return device + ": permission denied: join the group that owns it (see ls -l " + path +
                   "), then log in again";
        }
        return device + ": permission denied: join the group that owns it, " + group +
               " (sudo usermod -aG " + group + " $USER), then log in again";
    }
    case EBUSY:
        return device + " is busy: another program or driver holds the parallel port; stop it "
                        "and try again";
    default:
        return device + ": " + what + " failed: " + std::strerror(error);
    }
}

} // namespace

const PortSystem& realSystem() {
    static const PortSystem system{systemOpen, systemIoctl, systemClose, systemDeviceGroup,
                                   systemReport};
    return system;
}

ParallelPort::ParallelPort(const PortSystem& system, std::string devicePath)
    : system_(system), path_(std::move(devicePath)) {}

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
    fd_ = system_.open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
        fail("open", errno);
        return false;
    }
    if (system_.ioctl(fd_, PPCLAIM, nullptr) != 0) {
        const int error = errno;
        (void)system_.close(fd_);
        fd_ = -1;
        fail("claim", error);
        return false;
    }
    // The shadow starts from the levels the port already drives, so that the first single-bit
    // change leaves the other seven lines as they were instead of pulling them low.
    state_ = State::Claimed;
    return control(PPRDATA, dataShadow_, "reading the data register");
}

void ParallelPort::fail(const char* what, int error) {
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
        system_.report(explain(system_, path_, what, error) +
                       "; the port now reads as if nothing were plugged in");
    }
}

bool ParallelPort::control(unsigned long request, uint8_t& value, const char* what) {
    if (system_.ioctl(fd_, request, &value) != 0) {
        fail(what, errno);
        return false;
    }
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
        return control(PPRDATA, value, "reading the data register") ? value : 0;
    case Register::Status:
        // The status register as the hardware shows it: bit 7 (pin 11, BUSY) arrives inverted,
        // the same value a direct read of the port's status address gives.
        return control(PPRSTATUS, value, "reading the status register") ? value : 0;
    case Register::Control:
        return control(PPRCONTROL, value, "reading the control register") ? value : 0;
    }
    return 0;
}

void ParallelPort::write(Register reg, uint8_t value) {
    if (reg == Register::Status || !claimed()) {
        return;
    }
    if (reg == Register::Data) {
        dataShadow_ = value;
        (void)control(PPWDATA, value, "writing the data register");
    } else {
        (void)control(PPWCONTROL, value, "writing the control register");
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

ParallelPorts::ParallelPorts(const PortSystem& system)
    : ports_{ParallelPort(system, "/dev/parport0"), ParallelPort(system, "/dev/parport1"),
             ParallelPort(system, "/dev/parport2")} {}

ParallelPorts::Location ParallelPorts::locate(uint16_t address) {
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

int16_t ParallelPorts::getBit(uint16_t address, unsigned bit) {
    if (bit > 7) {
        return 0;
    }
    return ((in(address) >> bit) & 1U) != 0 ? int16_t{-1} : int16_t{0};
}

void ParallelPorts::toggleBit(uint16_t address, unsigned bit) {
    if (bit > 7) {
        return;
    }
    const Location at = locate(address);
    if (at.port == nullptr || at.reg == Register::Status) {
        return;
    }
    setBit(address, bit, getBit(address, bit) == 0);
}

int16_t ParallelPorts::shiftRight(uint16_t address, int16_t fill) {
    const uint8_t value = in(address);
    out(address, static_cast<uint8_t>((value >> 1) | (fill != 0 ? 0x80U : 0U)));
    return (value & 0x01U) != 0 ? int16_t{-1} : int16_t{0};
}

int16_t ParallelPorts::shiftLeft(uint16_t address, int16_t fill) {
    const uint8_t value = in(address);
    out(address, static_cast<uint8_t>((value << 1) | (fill != 0 ? 0x01U : 0U)));
    return (value & 0x80U) != 0 ? int16_t{-1} : int16_t{0};
}

bool ParallelPorts::standardPortReachable() {
    return ports_[0].claimed();
}

void ParallelPorts::releaseAll() {
    for (ParallelPort& port : ports_) {
        port.release();
    }
}

} // namespace quillon::ppdev
