// SPDX-License-Identifier: MIT
// The USBasp io library as the end-to-end tests and the benchmark build it
// (tests/usbasp-emulated/libio.so): the backend's entry points over the emulated USBasp that the
// environment sets up (io/sim/environment_usbasp.h) instead of libusb.
#include "sim/environment_usbasp.h"

const quillon::usbasp::UsbSystem& quillon::usbasp::librarySystem() {
    quillon::sim::emulateUsbaspFromEnvironment();
    return quillon::sim::EmulatedUsb::system();
}
