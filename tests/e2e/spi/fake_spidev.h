// SPDX-License-Identifier: MIT
// A Raspberry Pi's spidev and GPIO chip as the SPI backend meets them, wired to a simulated
// board, for the end-to-end test's library. The spidev (any other device) is descriptor 5; the
// GPIO chip (fake_gpio_chip.h: 54 lines, line 10 used by "spi0 CS0") is descriptor 3 and the
// RESET line's request descriptor 4. Each transfer is fed to the part through sim::IspWire at
// the transfer's rate, most significant bit first, and answered with what the part shifted out;
// RESET follows the requested line: low while it is an output at 0, released otherwise. The log
// shows each call: "mode:0 bits:8 speed:200000 xfer:ac530000@200000>00005300 ".
#pragma once

#include <linux/spi/spidev.h>
#include <span>

#include "fake_gpio_chip.h"
#include "sim/isp_wire.h"

namespace quillon::testing {

struct FakeSpidev : FakeGpioChip {
    sim::IspWire* wire = nullptr; // the part behind the pins
    unsigned failTransfer = 0;    // nonzero: this transfer (1 for the first) fails with EIO
    unsigned transfers = 0;
    uint8_t mode = 0xFF, bits = 0;
    uint32_t speed = 0;
    char reset = 'i';

    int open(const char* path) {
        return answer(std::string("open:") + path,
                      std::string_view(path).starts_with("/dev/gpiochip") ? 3 : 5);
    }

    int ioctl(int fd, unsigned long request, void* argument) {
        if (_IOC_TYPE(request) != SPI_IOC_MAGIC) {
            const std::string before = lines;
            const int result = FakeGpioChip::ioctl(fd, request, argument);
            lines = result == 0 ? lines : before; // a failed call changes nothing
            wireReset();
            return result;
        }
        if (fd != 5) {
            errno = EBADF;
            return -1;
        }
        const auto setting = [&](const char* name, auto& member) {
            member = *static_cast<std::remove_reference_t<decltype(member)>*>(argument);
            return answer(name + std::to_string(member), 0);
        };
        switch (request) {
        case SPI_IOC_WR_MODE:
            return setting("mode:", mode);
        case SPI_IOC_WR_BITS_PER_WORD:
            return setting("bits:", bits);
        case SPI_IOC_WR_MAX_SPEED_HZ:
            return setting("speed:", speed);
        case SPI_IOC_MESSAGE(1):
            return transfer(*static_cast<spi_ioc_transfer*>(argument));
        default:
            return answer("unknown-spi-request", -1);
        }
    }

    // RESET as the requested line leaves it.
    void wireReset() {
        const char now = lines.empty() ? 'i' : lines[0];
        if ((now == '0') != (reset == '0') && wire != nullptr) {
            if (now == '0') {
                wire->holdReset();
            } else {
                wire->release();
            }
        }
        reset = now;
    }

    int transfer(const spi_ioc_transfer& message) {
        const uint32_t rate = message.speed_hz != 0 ? message.speed_hz : speed;
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the kernel's way of passing buffers
        const std::span out(reinterpret_cast<const uint8_t*>(message.tx_buf), message.len);
        // NOLINTNEXTLINE(performance-no-int-to-ptr)
        const std::span in(reinterpret_cast<uint8_t*>(message.rx_buf), message.len);
        std::string call = "xfer:";
        for (const uint8_t byte : out) {
            call += hex(byte);
        }
        call += "@" + std::to_string(rate);
        if (++transfers == failTransfer) {
            error = EIO;
            failing = "xfer";
        }
        if (!failing.empty() && call.starts_with(failing)) {
            return answer(call, -1);
        }
        // Mode 0, most significant bit first, 8-bit words, or the part reads nonsense.
        const bool understood = mode == SPI_MODE_0 && bits == 8 &&
                                (message.bits_per_word == 0 || message.bits_per_word == 8);
        if (wire != nullptr) {
            wire->setSckRate(rate);
        }
        call += ">";
        for (std::size_t i = 0; i < out.size(); ++i) {
            const uint8_t sent = understood ? out[i] : static_cast<uint8_t>(~out[i]);
            in[i] = wire != nullptr ? wire->transfer(sent) : 0xFF;
            call += hex(in[i]);
        }
        return answer(call, static_cast<int>(message.len));
    }
};

} // namespace quillon::testing
