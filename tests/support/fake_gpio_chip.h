// SPDX-License-Identifier: MIT
// A GPIO chip's character device as the GPIO backend meets it, for its unit test and for the
// end-to-end test's library: 54 lines on descriptor 3, line 10 used by "spi0 CS0", the line
// request on descriptor 4. It keeps the requested lines' states in the request's order, 'i' for
// an input, '0' or '1' for an output's level ('!' for an input that was set), and logs each call
// with the states it leaves: "info quillon:11:10:25:9:iiii config:00ii set:01ii get:1 ".
#pragma once

#include <cstring>
#include <linux/gpio.h>
#include <span>

#include "port_test.h"

namespace quillon::testing {

struct FakeGpioChip : Recorder {
    bool miso = true;
    std::string lines{}; // sck, mosi, reset, miso and enable

    // The configuration as the backend makes it: all lines inputs, then the outputs and levels.
    void configure(const gpio_v2_line_config& config) {
        const bool outputs =
            config.num_attrs == 2 && config.attrs[0].attr.flags == GPIO_V2_LINE_FLAG_OUTPUT;
        const uint64_t out = (config.flags == GPIO_V2_LINE_FLAG_INPUT ? 0 : ~0ULL) |
                             (outputs ? config.attrs[0].mask : 0);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            lines[i] = (out >> i & 1U) == 0                                      ? 'i'
                       : outputs && (config.attrs[1].attr.values >> i & 1U) != 0 ? '1'
                                                                                 : '0';
        }
    }

    int ioctl(int fd, unsigned long request, void* argument) {
        auto* values = static_cast<gpio_v2_line_values*>(argument);
        auto* info = static_cast<gpio_v2_line_info*>(argument);
        auto* line = static_cast<gpio_v2_line_request*>(argument);
        std::string call = fd == (_IOC_NR(request) < 0x0D ? 3 : 4) ? "" : "(wrong descriptor)";
        switch (request) {
        case GPIO_GET_CHIPINFO_IOCTL:
            static_cast<gpiochip_info*>(argument)->lines = 54;
            return answer("info" + call, 0);
        case GPIO_V2_GET_LINEINFO_IOCTL:
            info->flags = info->offset == 10 ? GPIO_V2_LINE_FLAG_USED : 0;
            std::strcpy(info->consumer, "spi0 CS0");
            return answer("lineinfo:" + std::to_string(info->offset) + call, 0);
        case GPIO_V2_GET_LINE_IOCTL:
            for (const uint32_t offset : std::span(line->offsets, line->num_lines)) {
                call += ":" + std::to_string(offset);
            }
            lines.assign(line->num_lines, 'i');
            configure(line->config);
            line->fd = 4;
            return answer(line->consumer + call + ":" + lines, 0, true);
        case GPIO_V2_LINE_SET_CONFIG_IOCTL:
            configure(*static_cast<gpio_v2_line_config*>(argument));
            return answer("config:" + lines + call, 0, true);
        case GPIO_V2_LINE_SET_VALUES_IOCTL:
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const char level = (values->bits >> i & 1U) != 0 ? '1' : '0';
                lines[i] = (values->mask >> i & 1U) == 0 ? lines[i] : lines[i] == 'i' ? '!' : level;
            }
            return answer("set:" + lines + call, 0, true);
        default: // reading MISO, the request's fourth line
            values->bits = miso ? values->mask & 8U : 0;
            return answer((miso ? "get:1" : "get:0") + call, 0);
        }
    }
};

} // namespace quillon::testing
