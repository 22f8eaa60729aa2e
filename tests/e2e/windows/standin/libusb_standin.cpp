// SPDX-License-Identifier: MIT
// A stand-in for libusb-1.0.dll for the tests under Wine: the libusb functions the USBasp io.dll
// takes, over the emulated USBasp on a simulated chip that the environment sets up
// (io/sim/environment_usbasp.h), so that the USBasp io.dll drives the simulated
// ATmega as it would a USBasp through libusb.
#include "sim/environment_usbasp.h"

namespace {

const quillon::usbasp::UsbSystem& usb() {
    quillon::sim::emulateUsbaspFromEnvironment();
    return quillon::sim::EmulatedUsb::system();
}

} // namespace

extern "C" {

__declspec(dllexport) int LIBUSB_CALL libusb_init(libusb_context** context) {
    return usb().init(context);
}

__declspec(dllexport) void LIBUSB_CALL libusb_exit(libusb_context* context) {
    usb().exit(context);
}

__declspec(dllexport) ssize_t LIBUSB_CALL
    libusb_get_device_list(libusb_context* context, libusb_device*** list) {
    return usb().getDeviceList(context, list);
}

__declspec(dllexport) void LIBUSB_CALL
    libusb_free_device_list(libusb_device** list, int unreference) {
    usb().freeDeviceList(list, unreference);
}

__declspec(dllexport) int LIBUSB_CALL
    libusb_get_device_descriptor(libusb_device* device, libusb_device_descriptor* descriptor) {
    return usb().getDeviceDescriptor(device, descriptor);
}

__declspec(dllexport) uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device* device) {
    return usb().getBusNumber(device);
}

__declspec(dllexport) uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device* device) {
    return usb().getDeviceAddress(device);
}

__declspec(dllexport) int LIBUSB_CALL
    libusb_open(libusb_device* device, libusb_device_handle** handle) {
    return usb().open(device, handle);
}

__declspec(dllexport) void LIBUSB_CALL libusb_close(libusb_device_handle* handle) {
    usb().close(handle);
}

__declspec(dllexport) int LIBUSB_CALL
    libusb_get_string_descriptor_ascii(libusb_device_handle* handle, uint8_t index,
                                       unsigned char* data, int length) {
    return usb().getStringDescriptorAscii(handle, index, data, length);
}

__declspec(dllexport) int LIBUSB_CALL
    libusb_control_transfer(libusb_device_handle* handle, uint8_t requestType, uint8_t request,
                            uint16_t value, uint16_t index, unsigned char* data, uint16_t length,
                            unsigned int timeout) {
    return usb().controlTransfer(handle, requestType, request, value, index, data, length, timeout);
}

__declspec(dllexport) const char* LIBUSB_CALL libusb_error_name(int error) {
    return usb().errorName(error);
}

} // extern "C"
