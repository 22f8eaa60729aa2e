// SPDX-License-Identifier: MIT
// The GPIO io library's system calls answered by a fake /dev/gpiochip0 whose lines are wired to
// a simulated ATmega (QUILLON_SIM_DEVICE, QUILLON_SIM_FAULTS): line 11 to SCK, 10 to MOSI, 9 to
// MISO, 25 to RESET, and 24 to the output enable (active low) of a line buffer between them; a
// buffer whose enable line nobody drives is on. A line that isn't driven floats: SCK and MOSI
// read low, RESET is pulled up. Linked with the library's own entry points in place of the real
// system calls, it makes tests/gpio-fake/libio.so.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <linux/gpio.h>
#include <memory>
#include <vector>

#include "gpio_adapter.h"
#include "sim/clock.h"
#include "sim/config.h"
#include "sim/simulated_target.h"

namespace {

namespace sim = quillon::sim;

constexpr int chipFd = 100;
constexpr int requestFd = 101;
constexpr uint32_t sckLine = 11, mosiLine = 10, misoLine = 9, resetLine = 25, enableLine = 24;

class WiredChip {
  public:
    WiredChip() : trace_(clock_, "", false, problems_) {
        const sim::Config config = sim::configFromEnvironment(problems_);
        sim::Part part = sim::findPart(config.device).value_or(sim::knownParts()[0]);
        sim::Chip chip = sim::Chip::fresh(part);
        target_ = std::make_unique<sim::SimulatedTarget>(
            std::move(part), std::move(chip), config.faults, clock_, trace_, nullptr, true);
        for (const sim::Problem& problem : problems_) {
            std::fprintf(stderr, "fake GPIO chip: %s: %s\n", sim::variableOf(problem.setting),
                         problem.text.c_str());
        }
    }

    int ioctl(int fd, unsigned long request, void* argument) {
        if (fd == chipFd && request == GPIO_GET_CHIPINFO_IOCTL) {
            static_cast<gpiochip_info*>(argument)->lines = 54;
            return 0;
        }
        if (fd == chipFd && request == GPIO_V2_GET_LINE_IOCTL) {
            auto* lines = static_cast<gpio_v2_line_request*>(argument);
            offsets_.assign(lines->offsets, lines->offsets + lines->num_lines);
            output_.assign(offsets_.size(), false);
            value_.assign(offsets_.size(), false);
            configure(lines->config);
            lines->fd = requestFd;
            return 0;
        }
        if (fd != requestFd) {
            errno = EBADF;
            return -1;
        }
        auto* values = static_cast<gpio_v2_line_values*>(argument);
        switch (request) {
        case GPIO_V2_LINE_SET_CONFIG_IOCTL:
            configure(*static_cast<gpio_v2_line_config*>(argument));
            return 0;
        case GPIO_V2_LINE_SET_VALUES_IOCTL:
            for (std::size_t i = 0; i < offsets_.size(); ++i) {
                if ((values->mask >> i & 1U) != 0) {
                    if (!output_[i]) {
                        errno = EPERM; // as the kernel answers for an input
                        return -1;
                    }
                    value_[i] = (values->bits >> i & 1U) != 0;
                }
            }
            propagate();
            return 0;
        case GPIO_V2_LINE_GET_VALUES_IOCTL:
            values->bits = 0;
            for (std::size_t i = 0; i < offsets_.size(); ++i) {
                const bool level = offsets_[i] == misoLine ? target_->miso() : value_[i];
                values->bits |= (values->mask >> i & 1U) != 0 && level ? uint64_t{1} << i : 0;
            }
            return 0;
        default:
            errno = EINVAL;
            return -1;
        }
    }

  private:
    void configure(const gpio_v2_line_config& config) {
        for (std::size_t i = 0; i < offsets_.size(); ++i) {
            output_[i] = (config.flags & GPIO_V2_LINE_FLAG_OUTPUT) != 0;
            for (unsigned a = 0; a < config.num_attrs; ++a) {
                const gpio_v2_line_config_attribute& attribute = config.attrs[a];
                if ((attribute.mask >> i & 1U) == 0) {
                    continue;
                }
                if (attribute.attr.id == GPIO_V2_LINE_ATTR_ID_FLAGS) {
                    output_[i] = (attribute.attr.flags & GPIO_V2_LINE_FLAG_OUTPUT) != 0;
                } else if (attribute.attr.id == GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES) {
                    value_[i] = (attribute.attr.values >> i & 1U) != 0;
                }
            }
        }
        propagate();
    }

    // The level a line drives through the buffer; nothing when it floats.
    [[nodiscard]] std::optional<bool> driven(uint32_t offset) const {
        bool bufferOn = true;
        std::optional<bool> level;
        for (std::size_t i = 0; i < offsets_.size(); ++i) {
            if (offsets_[i] == enableLine) {
                bufferOn = output_[i] && !value_[i];
            } else if (offsets_[i] == offset && output_[i]) {
                level = value_[i];
            }
        }
        return bufferOn ? level : std::nullopt;
    }

    // The target sees RESET change first, then SCK with MOSI already at its level.
    void propagate() {
        const bool reset = driven(resetLine).value_or(true);
        const bool sck = driven(sckLine).value_or(false);
        if (reset != resetHigh_) {
            resetHigh_ = reset;
            target_->resetChanged(reset, sckHigh_);
        }
        if (sck != sckHigh_) {
            sckHigh_ = sck;
            if (sck) {
                target_->sckRising(driven(mosiLine).value_or(false));
            } else {
                target_->sckFalling();
            }
        }
    }

    sim::Problems problems_;
    sim::SteadyClock clock_; // the program waits in real time, as with the real library
    sim::Trace trace_;
    std::unique_ptr<sim::SimulatedTarget> target_;
    std::vector<uint32_t> offsets_;
    std::vector<bool> output_, value_;
    bool resetHigh_ = true;
    bool sckHigh_ = false;
};

WiredChip& wiredChip() {
    static WiredChip chip;
    return chip;
}

} // namespace

const quillon::gpio::GpioSystem& quillon::gpio::librarySystem() {
    static const GpioSystem system{[](const char* path, int) {
                                       errno = ENOENT;
                                       return std::strcmp(path, "/dev/gpiochip0") == 0 ? chipFd
                                                                                       : -1;
                                   },
                                   [](int fd, unsigned long request, void* argument) {
                                       return wiredChip().ioctl(fd, request, argument);
                                   },
                                   [](int) { return 0; },
                                   [](const char*) { return std::string(); },
                                   realSystem().report,
                                   realSystem().nanoseconds};
    return system;
}
