// SPDX-License-Identifier: MIT
// An emulated USBasp on a simulated chip, set up from the environment, for the libraries that
// stand in for libusb in a built program's run (the end-to-end tests' io library, the Windows
// test's libusb-1.0.dll). The chip comes from the QUILLON_SIM_* variables as for the simulated
// io library; the rest from QUILLON_EMULATED_USBASP, a comma list of
//   no-device, denied, stranger, fail-at=N, timeout-at=N   the USB faults (emulated_usb.h)
//   firmware=2009, firmware=2007                           an older firmware
//   jumper                                                 the slow-clock jumper closed
//   serials=A+B                                            USBasps with these serial numbers
// When QUILLON_EMULATED_USBASP_COUNT names a file, the control transfers and the bytes they
// moved are written into it at the end.
#pragma once

#include "sim/emulated_usb.h"

namespace quillon::sim {

// Made once, on first use, and kept until the process ends; the emulated USB is then the one
// EmulatedUsb::system() reaches. The host's sleeps are real; reports go to standard error.
void emulateUsbaspFromEnvironment();

} // namespace quillon::sim
