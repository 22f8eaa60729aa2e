// SPDX-License-Identifier: MIT
// The shared library's USB is libusb's.
#include "usb_system.h"

const quillon::usbasp::UsbSystem& quillon::usbasp::librarySystem() {
    return realSystem();
}
