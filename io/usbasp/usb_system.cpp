// SPDX-License-Identifier: MIT
// libusb-1.0 itself, with the host's sleep and standard error.
#include <cstdio>
#include <thread>

#include "usb_system.h"

namespace quillon::usbasp {

namespace {

void sleepFor(std::chrono::microseconds time) {
    std::this_thread::sleep_for(time);
}

void reportLine(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

} // namespace

const UsbSystem& realSystem() {
    static const UsbSystem system{libusb_init,
                                  libusb_exit,
                                  libusb_get_device_list,
                                  libusb_free_device_list,
                                  libusb_get_device_descriptor,
                                  libusb_get_bus_number,
                                  libusb_get_device_address,
                                  libusb_open,
                                  libusb_close,
                                  libusb_get_string_descriptor_ascii,
                                  libusb_control_transfer,
                                  libusb_error_name,
                                  sleepFor,
                                  reportLine};
    return system;
}

} // namespace quillon::usbasp
