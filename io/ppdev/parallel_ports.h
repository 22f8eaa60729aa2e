// SPDX-License-Identifier: MIT
// The Linux parallel-port backend of the io library: the standard PC port addresses mapped onto
// the kernel's ppdev devices (/dev/parportN), with the port opened and claimed on first use.
//
// Everything the backend asks of the operating system goes through a PortSystem, a table of
// function pointers: the library uses the real calls, the tests a recording fake.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quillon::ppdev {

// The operating-system calls the backend makes. open, ioctl and close behave like the POSIX
// calls: -1 with errno set on failure. deviceGroup names the group that owns a device file
// (empty when unknown); report shows one message line to the user.
struct PortSystem {
    int (*open)(const char* path, int flags);
    int (*ioctl)(int fd, unsigned long request, void* argument);
    int (*close)(int fd);
    std::string (*deviceGroup)(const char* path);
    void (*report)(const std::string& message);
};

// The real calls: open(2), ioctl(2), close(2), stat(2) with the group database, and standard
// error.
[[nodiscard]] const PortSystem& realSystem();

// The three registers of a standard port, at base, base + 1 and base + 2.
enum class Register { Data, Status, Control };

// One parallel port: its device file, whether it is claimed, and the shadow of its data register.
class ParallelPort {
  public:
    ParallelPort(const PortSystem& system, std::string devicePath);
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
    void fail(const char* what, int error);
    bool control(unsigned long request, uint8_t& value, const char* what);

    const PortSystem& system_;
    std::string path_;
    State state_ = State::Untried;
    int fd_ = -1;
    uint8_t dataShadow_ = 0;
    bool reported_ = false;
};

// The ports at the three standard base addresses: 0x378 (/dev/parport0), 0x278 (/dev/parport1)
// and 0x3BC (/dev/parport2), each with its data, status and control registers. Addresses
// outside them reach nothing: writes are dropped and reads give 0.
class ParallelPorts {
  public:
    explicit ParallelPorts(const PortSystem& system);

    [[nodiscard]] uint8_t in(uint16_t address);
    void out(uint16_t address, uint8_t value);
    void setBit(uint16_t address, unsigned bit, bool level);
    // -1 when the bit reads 1, 0 when it reads 0 (or the bit number is above 7).
    [[nodiscard]] int16_t getBit(uint16_t address, unsigned bit);
    void toggleBit(uint16_t address, unsigned bit);
    // Shifts the register one place, `fill` (nonzero for 1) coming in; answers the bit that
    // fell out as -1 or 0.
    [[nodiscard]] int16_t shiftRight(uint16_t address, int16_t fill);
    [[nodiscard]] int16_t shiftLeft(uint16_t address, int16_t fill);
    // True when the standard port (0x378, /dev/parport0) can be claimed.
    [[nodiscard]] bool standardPortReachable();
    void releaseAll();

  private:
    struct Location {
        ParallelPort* port;
        Register reg;
    };
    [[nodiscard]] Location locate(uint16_t address);

    std::array<ParallelPort, 3> ports_;
};

// The standard base addresses in the order of the device numbers.
inline constexpr std::array<uint16_t, 3> portBases{0x378, 0x278, 0x3BC};

} // namespace quillon::ppdev
