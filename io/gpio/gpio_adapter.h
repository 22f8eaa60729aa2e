// SPDX-License-Identifier: MIT
// The Linux GPIO backend of the io library: the programming adapter's port bits played on the
// lines of a GPIO chip through the kernel's character-device interface (common/gpio_lines.h).
//
// Data port 888, bit by bit:
//   bit 0, 1  loop-back outputs: no line, status bits 5 and 7 answer them
//   bit 2     high: RESET released (its line an input, so the target's pull-up holds it running)
//   bit 3     high: SCK and MOSI released
//   bit 4     SCK
//   bit 5     MOSI
//   bit 6, 7  RESET, low while either of them is low
// The optional enable line (active low, for a line buffer) is low while bits 2 and 3 are both
// low. Status port 889: bit 6 is MISO; bit 5 follows data bit 0 and bit 7 reads the inverse of
// data bit 1, as the adapter's loop-back wires make them, but only while every line is claimed;
// bits 0 to 4 read 1. A chip whose lines can't be had reads 0x7F, as a port with nothing on it.
//
// The lines are claimed on the first access and given back (released as inputs) when the
// library ends. Every line change is held for at least the configured time, so that even a
// fast board keeps each SCK level long enough for a slowly clocked target.
//
// Everything asked of the operating system goes through a GpioSystem, a table of function
// pointers: the library uses the real calls, the tests fakes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/gpio_lines.h"
#include "common/linux_system.h"
#include "io.h"

namespace quillon::gpio {

using GpioSystem = io::LinuxSystem;

// open(2), ioctl(2), close(2), stat(2) with the group database, standard error, CLOCK_MONOTONIC.
[[nodiscard]] inline const GpioSystem& realSystem() {
    return io::realLinuxSystem();
}

// The system the shared library uses: realSystem(), or a test's fake chip.
[[nodiscard]] const GpioSystem& librarySystem();

// The adapter's lines, by their place in the line request.
enum class Line : unsigned { Sck, Mosi, Reset, Miso, Enable };
inline constexpr std::array<std::string_view, 5> lineNames{"sck", "mosi", "reset", "miso",
                                                           "enable"};

struct GpioConfig {
    std::string chip = "/dev/gpiochip0";
    // Line offsets on the chip, by Line: the Raspberry Pi's SPI0 pins and GPIO 25.
    std::array<uint32_t, 4> lines{11, 10, 25, 9};
    std::optional<uint32_t> enable;
    uint32_t holdMicros = 2;
};

// Parses the QUILLON_GPIO text ("chip=gpiochip0,sck=11,mosi=10,miso=9,reset=25", with optional
// "enable=N" and "hold=MICROSECONDS"); what is not given keeps its default. A chip name without
// a slash is a device in /dev. Nothing, and one line saying why in `problem`, for a text it
// can't use.
[[nodiscard]] std::optional<GpioConfig> parseConfig(std::string_view text, std::string& problem);

class GpioAdapter {
  public:
    // configText: the QUILLON_GPIO text, read when the lines are first claimed.
    GpioAdapter(const GpioSystem& system, std::string configText);
    ~GpioAdapter();
    GpioAdapter(const GpioAdapter&) = delete;
    GpioAdapter& operator=(const GpioAdapter&) = delete;

    // Ports 888 and 889 as the adapter shows them; any other port reads 0xFF and ignores
    // writes, and the status port ignores them too.
    [[nodiscard]] uint8_t in(uint16_t port);
    void out(uint16_t port, uint8_t value);
    void setBit(uint16_t port, unsigned bit, bool level);
    // The data port's latches, which toggles start from (other ports ignore writes anyway).
    [[nodiscard]] uint8_t latch(uint16_t /*port*/) const { return data_; }
    // Claims the lines if that has not been tried yet; true while they are claimed.
    [[nodiscard]] bool claimed();

  private:
    enum class State { Untried, Claimed, Unreachable };
    // What the lines do for a data port value.
    struct Levels {
        bool clockDriven, resetDriven, sck, mosi, reset;
        [[nodiscard]] bool enableLow() const { return clockDriven && resetDriven; }
    };
    [[nodiscard]] static Levels levelsFor(uint8_t data);

    bool claim();
    void writeData(uint8_t value);
    [[nodiscard]] uint8_t status();
    // Switches the lines' directions and levels to `levels` in one call.
    bool configure(const Levels& levels, const char* what);
    void holdLastChange() const;
    // Gives the lines back, released, and closes the request.
    void release();
    // Ends the use of the lines after a failed call, saying why once.
    void fail(const std::string& message);
    // Says why the lines failed.
    void failLines();
    [[nodiscard]] std::string lineInUse();

    const GpioSystem& system_;
    std::string configText_;
    GpioConfig config_;
    State state_ = State::Untried;
    io::GpioLines lines_;
    // Bits 2, 3, 6 and 7 set: everything released, RESET high, until the program drives it.
    static constexpr uint8_t releasedData =
        bitMask(enableLow) | bitMask(enableHigh) | bitMask(resetLine6) | bitMask(resetLine7);
    uint8_t data_ = releasedData;
    Levels applied_{};
    int64_t lastChange_ = 0;
    bool reported_ = false;
};

} // namespace quillon::gpio
