// SPDX-License-Identifier: MIT
// The Linux parallel-port backend of the io library: the standard PC port addresses mapped onto
// the kernel's ppdev devices (/dev/parportN), with the port opened and claimed on first use.
//
// A port is claimed exclusively (PPEXCL before PPCLAIM), so that no printer driver writes to it
// while a chip is programmed, and its data lines are then switched to output, in case another
// program left the port in reverse mode. Every change of a register's lines can be held for a
// least time (QUILLON_PARPORT's hold=, none by default: a port's bus cycle already takes about a
// microsecond).
//
// Everything the backend asks of the operating system goes through a PortSystem, a table of
// function pointers: the library uses the real calls, the tests a recording fake.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/linux_system.h"

namespace quillon::ppdev {

// The system calls the ports make, behind a table so that tests can stand in for them: the one
// the Linux backends share (io/common/linux_system.h).
using PortSystem = io::LinuxSystem;

// The real calls.
[[nodiscard]] inline const PortSystem& realSystem() {
    return io::realLinuxSystem();
}

inline constexpr std::string_view standardDevice = "/dev/parport0";
inline constexpr uint32_t longestHold = 100000;

struct PortConfig {
    // The device of the standard port, 0x378.
    std::string device{standardDevice};
    // The least time, in microseconds, between two changes of a port's lines.
    uint32_t holdMicros = 0;
};

// Parses the QUILLON_PARPORT text, a comma list of a device ("/dev/parport1", or "parport1" for
// the one in /dev) and "hold=MICROSECONDS" (0 to longestHold), either or both; what is not given
// keeps its default. Nothing, and one line saying why in `problem`, for a text it can't use.
[[nodiscard]] std::optional<PortConfig> parseConfig(std::string_view text, std::string& problem);

// The three registers of a standard port, at base, base + 1 and base + 2.
enum class Register { Data, Status, Control };

// One parallel port: its device file, whether it is claimed, and the shadow of its data register.
class ParallelPort {
  public:
    // An empty devicePath is a port that isn't there.
    ParallelPort(const PortSystem& system, std::string devicePath, uint32_t holdMicros = 0);
    ~ParallelPort();
    ParallelPort(const ParallelPort&) = delete;
    ParallelPort& operator=(const ParallelPort&) = delete;

    // The register's value as the hardware shows it; 0 when the port can't be reached.
    [[nodiscard]] uint8_t read(Register reg);
    // Writes a whole register; the status register is read-only and ignores writes.
    void write(Register reg, uint8_t value);
    // Sets (level true) or clears one bit of a register with a single write. For the data
    // register the other bits come from the shadow, not from reading the port back.
    void writeBit(Register reg, unsigned bit, bool level);

    // Claims the port if it has not been tried yet; true when it is claimed.
    [[nodiscard]] bool claimed();
    // Releases and closes a claimed port; the next access opens and claims it again.
    void release();

    [[nodiscard]] const std::string& devicePath() const { return path_; }

  private:
    enum class State { Untried, Claimed, Unreachable };

    bool claim();
    // Ends the use of the port after a failed call, saying why once.
    void fail(std::string_view what, int error);
    // An ioctl that reads or writes a register (or takes no argument, for a null value).
    bool control(unsigned long request, uint8_t* value, const char* what);
    // A change of the port's lines, at least the hold time after the one before.
    bool change(unsigned long request, void* argument, const char* what);

    const PortSystem& system_;
    std::string path_;
    uint32_t holdMicros_;
    State state_ = State::Untried;
    int fd_ = -1;
    uint8_t dataShadow_ = 0;
    int64_t lastChange_ = 0;
    bool reported_ = false;
};

// The ports at the three standard base addresses: 0x378 (/dev/parport0, or the device that
// QUILLON_PARPORT names), 0x278 (/dev/parport1) and 0x3BC (/dev/parport2), each with its data,
// status and control registers. Addresses outside them reach nothing: writes are dropped and
// reads give 0; so does 0x278 or 0x3BC when its device is the one named for 0x378. A
// QUILLON_PARPORT text that can't be used is explained once and every port reads as unreachable.
class ParallelPorts {
  public:
    // configText: the QUILLON_PARPORT text.
    ParallelPorts(const PortSystem& system, std::string_view configText);

    [[nodiscard]] uint8_t in(uint16_t address);
    void out(uint16_t address, uint8_t value);
    void setBit(uint16_t address, unsigned bit, bool level);
    // True when the standard port (0x378, /dev/parport0) can be claimed.
    [[nodiscard]] bool standardPortReachable();

  private:
    struct Location {
        ParallelPort* port;
        Register reg;
    };
    [[nodiscard]] Location locate(uint16_t address);
    // False, saying why once, when the configuration can't be used.
    [[nodiscard]] bool configured();
    [[nodiscard]] std::string otherDevice(std::string_view path) const;

    const PortSystem& system_;
    std::string problem_; // before config_, which is parsed into it
    PortConfig config_;
    bool problemReported_ = false;
    std::array<ParallelPort, 3> ports_;
};

// The standard base addresses in the order of the device numbers.
inline constexpr std::array<uint16_t, 3> portBases{0x378, 0x278, 0x3BC};

} // namespace quillon::ppdev
