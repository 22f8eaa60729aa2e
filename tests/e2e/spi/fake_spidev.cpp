// SPDX-License-Identifier: MIT
// The SPI io library's system calls answered by the fake spidev and GPIO chip (fake_spidev.h),
// wired to a simulated board (QUILLON_SIM_*) on the steady clock, as the program waits in real
// time. QUILLON_TEST_SPIDEV plants a fault: "CALL=ERRNO", every call the fake logs starting with
// CALL fails with that errno ("open:/dev/spidev=2": no spidev), or "transfer=N", the Nth transfer
// and all after it fail with EIO, as when the cable comes off. Linked with the library's own entry
// points, it makes tests/io_spi_fake/libio.so.
#include <cstdlib>

#include "fake_spidev.h"
#include "spi_programmer.h"

namespace {

using quillon::testing::Recorder;

// Made on first use, when the library's programmer asks for the system as it is made, so that it
// outlives the programmer, which lets the target go when it ends.
struct Wired {
    quillon::sim::SteadyClock realTime;
    quillon::sim::Problems problems;
    quillon::sim::Board board{quillon::sim::configFromEnvironment(problems), realTime};
    // The transfers take no time of their own here; the program's waits are real.
    quillon::sim::IspWire wire{board, [](std::chrono::microseconds) {}};
    quillon::testing::FakeSpidev spidev;

    Wired() {
        spidev.wire = &wire;
        const char* fault = std::getenv("QUILLON_TEST_SPIDEV");
        const std::string text = fault != nullptr ? fault : "";
        const auto equals = text.rfind('=');
        const int number = equals != std::string::npos ? std::atoi(fault + equals + 1) : 0;
        if (text.starts_with("transfer=")) {
            spidev.failTransfer = static_cast<unsigned>(number);
        } else if (number != 0) {
            spidev.failing = text.substr(0, equals);
            spidev.error = number;
        }
        Recorder::recording = &spidev;
    }
};

quillon::testing::FakeSpidev& spidev() {
    static Wired wired;
    return wired.spidev;
}

int wiredIoctl(int fd, unsigned long request, void* argument) {
    const int result = spidev().ioctl(fd, request, argument);
    spidev().log.clear();
    return result;
}

} // namespace

const quillon::io::LinuxSystem& quillon::spi::librarySystem() {
    (void)spidev();
    static const io::LinuxSystem system{[](const char* path, int) { return spidev().open(path); },
                                        wiredIoctl,
                                        Recorder::close,
                                        [](const char*) { return std::string(); },
                                        io::realLinuxSystem().report,
                                        io::realLinuxSystem().nanoseconds,
                                        io::realLinuxSystem().sleep};
    return system;
}
