// SPDX-License-Identifier: MIT
// What the USBasp backend asks of libusb-1.0 and of the system, as a table of function pointers
// with libusb's own signatures: the shared library fills it with libusb's functions, the tests
// with an emulated USBasp's.
#pragma once

#include <chrono>
#include <libusb.h>
#include <string>

namespace quillon::usbasp {

struct UsbSystem {
    int(LIBUSB_CALL* init)(libusb_context** context);
    void(LIBUSB_CALL* exit)(libusb_context* context);
    ssize_t(LIBUSB_CALL* getDeviceList)(libusb_context* context, libusb_device*** list);
    void(LIBUSB_CALL* freeDeviceList)(libusb_device** list, int unreference);
    int(LIBUSB_CALL* getDeviceDescriptor)(libusb_device* device,
                                          libusb_device_descriptor* descriptor);
    uint8_t(LIBUSB_CALL* getBusNumber)(libusb_device* device);
    uint8_t(LIBUSB_CALL* getDeviceAddress)(libusb_device* device);
    int(LIBUSB_CALL* open)(libusb_device* device, libusb_device_handle** handle);
    void(LIBUSB_CALL* close)(libusb_device_handle* handle);
    int(LIBUSB_CALL* getStringDescriptorAscii)(libusb_device_handle* handle, uint8_t index,
                                               unsigned char* data, int length);
    int(LIBUSB_CALL* controlTransfer)(libusb_device_handle* handle, uint8_t requestType,
                                      uint8_t request, uint16_t value, uint16_t index,
                                      unsigned char* data, uint16_t length, unsigned int timeout);
    const char*(LIBUSB_CALL* errorName)(int error);
    // Not libusb's: the host's own waits, and one line for the user on standard error.
    void (*sleep)(std::chrono::microseconds time);
    void (*report)(const std::string& line);
};

// libusb itself, the steady clock's sleep, standard error.
[[nodiscard]] const UsbSystem& realSystem();

// The system the shared library uses: realSystem(), or a test's emulated USBasp.
[[nodiscard]] const UsbSystem& librarySystem();

} // namespace quillon::usbasp
