// SPDX-License-Identifier: MIT
// The GPIO io library's system calls answered by the fake chip (fake_gpio_chip.h), its lines
// wired to a simulated board (QUILLON_SIM_*) as the parallel-port adapter's: SCK to data bit 4,
// MOSI to bit 5, RESET to bits 6 and 7, MISO from status bit 6; an input switches its buffer
// half off, and so does an enable line (active low) that isn't low. Linked with the library's
// own entry points, it makes tests/io_gpio_fake/libio.so.
#include "fake_gpio_chip.h"
#include "gpio_adapter.h"
#include "sim/board.h"

namespace {

using quillon::testing::Recorder;

quillon::testing::FakeGpioChip chip;
const quillon::sim::SteadyClock realTime; // the program waits in real time
quillon::sim::Problems problems;
quillon::sim::Board board(quillon::sim::configFromEnvironment(problems), realTime);

int wiredIoctl(int fd, unsigned long request, void* argument) {
    chip.miso = (0x40U & board.in(quillon::sim::statusPort)) != 0;
    const int result = chip.ioctl(fd, request, argument);
    const std::string line = chip.lines + "00000"; // sck, mosi, reset, miso, enable
    unsigned data = line[4] != '0' ? 0x0C : 0;
    for (const auto& [at, high, released] :
         {std::array{0, 0x10, 0x08}, {1, 0x20, 0}, {2, 0xC0, 0x04}}) {
        data |= line.at(at) == '1' ? high : line.at(at) == 'i' ? released : 0;
    }
    board.out(quillon::sim::dataPort, static_cast<uint8_t>(data));
    chip.log.clear();
    return result;
}

} // namespace

const quillon::gpio::GpioSystem& quillon::gpio::librarySystem() {
    Recorder::recording = &chip;
    static const GpioSystem system{Recorder::open,      wiredIoctl,
                                   Recorder::close,     [](const char*) { return std::string(); },
                                   realSystem().report, realSystem().nanoseconds};
    return system;
}
