// SPDX-License-Identifier: MIT
// The Linux SPI backend: a programmer made of the computer's SPI controller (spidev,
// <linux/spi/spidev.h>) for SCK, MOSI and MISO and one GPIO line for the target's RESET (through
// common/gpio_lines.h), as on a Raspberry Pi: /dev/spidev0.0 on header pins 19, 21 and 23, RESET
// on GPIO 25 (pin 22). The controller clocks each four-byte instruction in one call at an exact
// rate: SPI mode 0, most significant bit first, 8-bit words.
//
// It carries single instructions only; the program builds page writes and reads from them and
// waits its own fixed times after each write. Everything asked of the operating system goes
// through a LinuxSystem table: the library uses the real calls, the tests fakes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/gpio_lines.h"
#include "common/linux_system.h"

namespace quillon::spi {

// The system the shared library uses: the real one, or a test's fake spidev.
[[nodiscard]] const io::LinuxSystem& librarySystem();

struct SpiConfig {
    std::string device = "/dev/spidev0.0";
    std::string resetChip = "/dev/gpiochip0";
    uint32_t resetLine = 25;
    // The SCK rate in Hz: a part as delivered, on its 1 MHz clock, follows anything below
    // 250 kHz.
    uint32_t speedHz = 200000;
};

inline constexpr uint32_t slowestSpeed = 1000;
inline constexpr uint32_t fastestSpeed = 8000000;

// Parses the QUILLON_SPI text ("device=/dev/spidev0.0,reset=gpiochip0:25,speed=200000"); what is
// not given keeps its default. A device or chip name without a slash is one in /dev; reset= takes
// CHIP:LINE, a LINE of gpiochip0 or a CHIP with line 25. Nothing, and one line saying why in
// `problem`, for a text it can't use.
[[nodiscard]] std::optional<SpiConfig> parseConfig(std::string_view text, std::string& problem);

class SpiProgrammer {
  public:
    // configText: the QUILLON_SPI text, read by open().
    SpiProgrammer(const io::LinuxSystem& system, std::string configText);
    // Lets the target run and closes the devices.
    ~SpiProgrammer();
    SpiProgrammer(const SpiProgrammer&) = delete;
    SpiProgrammer& operator=(const SpiProgrammer&) = delete;

    // Each answers false after a failure; error() then says why in one line (and after a
    // failure while the target was held, RESET is released). The io.h entry points of the same
    // names describe them.
    [[nodiscard]] bool open();
    [[nodiscard]] bool enable(uint8_t& echo);
    [[nodiscard]] bool release();
    [[nodiscard]] bool instruction(const std::array<uint8_t, 4>& out, std::array<uint8_t, 4>& in);

    // "" when the last call didn't fail.
    [[nodiscard]] const std::string& error() const { return error_; }

  private:
    [[nodiscard]] bool transfer(const std::array<uint8_t, 4>& out, std::array<uint8_t, 4>& in,
                                uint32_t speedHz);
    // RESET low, a positive pulse, the wait, then Programming Enable at `speedHz`.
    [[nodiscard]] bool tryEnable(uint32_t speedHz, uint8_t& echo);
    [[nodiscard]] bool driveReset(bool high);
    [[nodiscard]] bool setUp(unsigned long request, void* value, const char* what);
    void letGo();
    bool fail(const std::string& message);
    bool failDevice(const std::string& path, const char* what, int error);
    bool failReset();

    const io::LinuxSystem& system_;
    std::string configText_;
    SpiConfig config_;
    int fd_ = -1;
    io::GpioLines reset_;
    bool holding_ = false; // RESET is driven
    std::string error_;
    bool resetLost_ = false; // the RESET line failed: the next failure's line tells why
    std::string lost_;       // why the RESET line is gone, said again by later calls
};

} // namespace quillon::spi
