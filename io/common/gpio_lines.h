// SPDX-License-Identifier: MIT
// Lines of a GPIO chip, requested through the kernel's character-device interface (uAPI v2 of
// <linux/gpio.h>, /dev/gpiochipN): the GPIO backend's adapter lines and the SPI backend's RESET
// line. It talks to the kernel directly rather than through libgpiod, whose programming
// interface changed incompatibly between its versions 1.6 and 2.x; the kernel's interface is
// stable from 5.10 on.
//
// Lines are named by their place in the request: bit i of a mask is the i-th offset requested.
// A call that fails closes everything and leaves what went wrong in failure(), for the backend
// to tell the user in its own words.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/linux_system.h"

namespace quillon::io {

class GpioLines {
  public:
    enum class Problem {
        Call,       // a system call failed: `what` with `error`
        NoSuchLine, // offset `line` is beyond the chip's `chipLines` lines
        Busy,       // the request was refused, EBUSY: line `line` is used by `consumer` (empty:
                    // the kernel didn't say which line)
    };
    struct Failure {
        Problem problem = Problem::Call;
        const char* what = "";
        int error = 0;
        std::size_t line = 0; // the line's place in the request
        uint32_t chipLines = 0;
        std::string consumer;
    };

    explicit GpioLines(const LinuxSystem& system) : system_(system) {}
    ~GpioLines() { close(); }
    GpioLines(const GpioLines&) = delete;
    GpioLines& operator=(const GpioLines&) = delete;

    // Opens `chip` and requests `offsets` for `consumer`: inputs, but for `outputs`, driven at
    // `values` from the start.
    [[nodiscard]] bool request(const std::string& chip, std::span<const uint32_t> offsets,
                               const char* consumer, uint64_t outputs, uint64_t values);
    // Makes `outputs` outputs at `values` and every other line an input, in one call.
    [[nodiscard]] bool configure(uint64_t outputs, uint64_t values, const char* what);
    // Sets the outputs in `mask` to `bits`.
    [[nodiscard]] bool set(uint64_t mask, uint64_t bits, const char* what);
    // The levels of the lines in `mask`.
    [[nodiscard]] std::optional<uint64_t> get(uint64_t mask, const char* what);
    // Gives the lines back as they are and closes the chip.
    void close();

    [[nodiscard]] bool requested() const { return requestFd_ >= 0; }
    [[nodiscard]] const Failure& failure() const { return failure_; }

  private:
    bool fail(const char* what, int error);
    void findUser(std::span<const uint32_t> offsets);

    const LinuxSystem& system_;
    int chipFd_ = -1;
    int requestFd_ = -1;
    Failure failure_;
};

} // namespace quillon::io
