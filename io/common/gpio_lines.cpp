// SPDX-License-Identifier: MIT
#include "common/gpio_lines.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/gpio.h>

namespace quillon::io {

namespace {

// The request's line configuration: inputs, but for `outputs` at `values`.
void setLevels(gpio_v2_line_config& config, uint64_t outputs, uint64_t values) {
    config.flags = GPIO_V2_LINE_FLAG_INPUT;
    if (outputs != 0) {
        config.num_attrs = 2;
        config.attrs[0].attr.id = GPIO_V2_LINE_ATTR_ID_FLAGS;
        config.attrs[0].attr.flags = GPIO_V2_LINE_FLAG_OUTPUT;
        config.attrs[0].mask = outputs;
        config.attrs[1].attr.id = GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES;
        config.attrs[1].attr.values = values & outputs;
        config.attrs[1].mask = outputs;
    }
}

} // namespace

bool GpioLines::fail(const char* what, int error) {
    failure_.problem = Problem::Call;
    failure_.what = what;
    failure_.error = error;
    close();
    return false;
}

bool GpioLines::request(const std::string& chip, std::span<const uint32_t> offsets,
                        const char* consumer, uint64_t outputs, uint64_t values) {
    close();
    failure_ = {};
    chipFd_ = system_.open(chip.c_str(), O_RDWR | O_CLOEXEC);
    if (chipFd_ < 0) {
        return fail("open", errno);
    }
    gpiochip_info info{};
    if (system_.ioctl(chipFd_, GPIO_GET_CHIPINFO_IOCTL, &info) != 0) {
        return fail("reading the chip's description", errno);
    }
    gpio_v2_line_request request{};
    request.num_lines = static_cast<uint32_t>(offsets.size());
    for (std::size_t i = 0; i < offsets.size() && i < GPIO_V2_LINES_MAX; ++i) {
        request.offsets[i] = offsets[i];
        if (offsets[i] >= info.lines) {
            close();
            failure_ = {Problem::NoSuchLine, "", 0, i, info.lines, {}};
            return false;
        }
    }
    std::strncpy(request.consumer, consumer, sizeof request.consumer - 1);
    setLevels(request.config, outputs, values);
    if (system_.ioctl(chipFd_, GPIO_V2_GET_LINE_IOCTL, &request) != 0) {
        const int error = errno;
        if (error != EBUSY) {
            return fail("requesting the lines", error);
        }
        findUser(offsets);
        failure_.problem = Problem::Busy;
        close();
        return false;
    }
    requestFd_ = request.fd;
    (void)system_.close(chipFd_);
    chipFd_ = -1;
    return true;
}

void GpioLines::findUser(std::span<const uint32_t> offsets) {
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        gpio_v2_line_info info{};
        info.offset = offsets[i];
        if (system_.ioctl(chipFd_, GPIO_V2_GET_LINEINFO_IOCTL, &info) != 0 ||
            (info.flags & GPIO_V2_LINE_FLAG_USED) == 0) {
            continue;
        }
        info.consumer[sizeof info.consumer - 1] = '\0';
        failure_.line = i;
        failure_.consumer = info.consumer[0] != '\0' ? info.consumer : "the kernel";
        return;
    }
}

bool GpioLines::configure(uint64_t outputs, uint64_t values, const char* what) {
    gpio_v2_line_config config{};
    setLevels(config, outputs, values);
    return system_.ioctl(requestFd_, GPIO_V2_LINE_SET_CONFIG_IOCTL, &config) == 0 ||
           fail(what, errno);
}

bool GpioLines::set(uint64_t mask, uint64_t bits, const char* what) {
    gpio_v2_line_values change{};
    change.mask = mask;
    change.bits = bits;
    return system_.ioctl(requestFd_, GPIO_V2_LINE_SET_VALUES_IOCTL, &change) == 0 ||
           fail(what, errno);
}

std::optional<uint64_t> GpioLines::get(uint64_t mask, const char* what) {
    gpio_v2_line_values levels{};
    levels.mask = mask;
    if (system_.ioctl(requestFd_, GPIO_V2_LINE_GET_VALUES_IOCTL, &levels) != 0) {
        (void)fail(what, errno);
        return std::nullopt;
    }
    return levels.bits;
}

void GpioLines::close() {
    for (int* fd : {&requestFd_, &chipFd_}) {
        if (*fd >= 0) {
            (void)system_.close(*fd);
            *fd = -1;
        }
    }
}

} // namespace quillon::io
