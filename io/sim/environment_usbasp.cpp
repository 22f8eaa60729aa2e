// SPDX-License-Identifier: MIT
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "settings_list.h"
#include "sim/environment_usbasp.h"

namespace quillon::sim {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

struct Emulation {
    UsbaspSetup setup;
    UsbFaults faults;
    std::vector<std::string> serials{""};
};

Emulation emulationFromEnvironment() {
    Emulation emulation;
    std::string_view list = std::getenv("QUILLON_EMULATED_USBASP") != nullptr
                                ? std::getenv("QUILLON_EMULATED_USBASP")
                                : "";
    (void)settings::readList(list, [&](std::string_view item, auto /*name*/, auto /*value*/) {
        uint32_t number = 0;
        const auto counted = [&](std::string_view name) {
            return item.starts_with(name) &&
                   settings::parseNumber(item.substr(name.size()), number);
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
            emulation.setup.firmware = Firmware::Older;
        } else if (item == "firmware=2007") {
            emulation.setup.firmware = Firmware::Oldest;
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
        } else {
            std::fprintf(stderr, "QUILLON_EMULATED_USBASP: unknown item '%.*s'\n",
                         static_cast<int>(item.size()), item.data());
        }
        return true;
    });
    return emulation;
}

// The chip, its time and the USB with the USBasp on it, for the library's lifetime.
struct World {
    World()
        : board(
              [] {
                  Problems problems;
                  return configFromEnvironment(problems);
              }(),
              time),
          usb(
              board, time, emulation.setup, emulation.serials, emulation.faults,
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
    SteadyClock realTime;
    FirmwareTime time{realTime};
    Board board;
    EmulatedUsb usb;
};

} // namespace

void emulateUsbaspFromEnvironment() {
    static const World world;
}

} // namespace quillon::sim
