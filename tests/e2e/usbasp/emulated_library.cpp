// SPDX-License-Identifier: MIT
// The USBasp io library as the end-to-end tests and the benchmark build it
// (tests/usbasp-emulated/libio.so): the backend's entry points over an emulated USBasp on a
// simulated chip instead of libusb. The chip comes from the QUILLON_SIM_* variables as for the
// simulated library; the rest from QUILLON_EMULATED_USBASP, a comma list of
//   no-device, denied, stranger, fail-at=N, timeout-at=N   the USB faults (emulated_usb.h)
//   firmware=2009, firmware=2007                           an older firmware
//   jumper                                                 the slow-clock jumper closed
//   serials=A+B                                            USBasps with these serial numbers
// and, when QUILLON_EMULATED_USBASP_COUNT names a file, the library writes the control transfers
// and the bytes they moved into it when it is unloaded.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "emulated_usb.h"
#include "settings_list.h"

namespace {

namespace q = quillon;

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

struct Emulation {
    q::testing::UsbaspSetup setup;
    q::testing::UsbFaults faults;
    std::vector<std::string> serials{""};
};

Emulation emulationFromEnvironment() {
    Emulation emulation;
    std::string_view list = std::getenv("QUILLON_EMULATED_USBASP") != nullptr
                                ? std::getenv("QUILLON_EMULATED_USBASP")
                                : "";
    while (!list.empty()) {
        const std::string_view item = q::settings::takeItem(list);
        uint32_t number = 0;
        const auto counted = [&](std::string_view name) {
            return item.starts_with(name) &&
                   q::settings::parseNumber(item.substr(name.size()), number);
        };
        if (item == "no-device") {
            emulation.faults.noDevice = true;
        } else if (item == "denied") {
            emulation.faults.denied = true;
        } else if (item == "stranger") {
            emulation.faults.stranger = true;
        } else if (item == "jumper") {
            emulation.setup.jumper = true;
        } else if (item == "firmware=2009") {
            emulation.setup.firmware = q::testing::Firmware::Older;
        } else if (item == "firmware=2007") {
            emulation.setup.firmware = q::testing::Firmware::Oldest;
        } else if (counted("fail-at=")) {
            emulation.faults.failAt = number;
        } else if (counted("timeout-at=")) {
            emulation.faults.timeoutAt = number;
        } else if (item.starts_with("serials=")) {
            emulation.serials.clear();
            for (std::string_view rest = item.substr(8); !rest.empty();) {
                const auto plus = rest.find('+');
                emulation.serials.emplace_back(rest.substr(0, plus));
                rest = plus == std::string_view::npos ? "" : rest.substr(plus + 1);
            }
        } else if (!item.empty()) {
            std::fprintf(stderr, "QUILLON_EMULATED_USBASP: unknown item '%.*s'\n",
                         static_cast<int>(item.size()), item.data());
        }
    }
    return emulation;
}

// The chip, its time and the USB with the USBasp on it, for the library's lifetime.
struct World {
    World()
        : board(
              [] {
                  q::sim::Problems problems;
                  return q::sim::configFromEnvironment(problems);
              }(),
              time),
          usb(board, time, emulation.setup, emulation.serials, emulation.faults,
              [](std::chrono::microseconds wait) { std::this_thread::sleep_for(wait); },
              [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }) {}
    World(const World&) = delete;
    World& operator=(const World&) = delete;
    ~World() {
        if (const std::string path = variable("QUILLON_EMULATED_USBASP_COUNT"); !path.empty()) {
            std::ofstream(path) << usb.transfers() << " control transfers, " << usb.bytes()
                                << " bytes\n";
        }
    }

    Emulation emulation = emulationFromEnvironment();
    q::sim::SteadyClock realTime;
    q::testing::FirmwareTime time{realTime};
    q::sim::Board board;
    q::testing::EmulatedUsb usb;
};

} // namespace

const quillon::usbasp::UsbSystem& quillon::usbasp::librarySystem() {
    static const World world;
    return q::testing::EmulatedUsb::system();
}
