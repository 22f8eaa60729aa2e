// SPDX-License-Identifier: MIT
// Start-up and shutdown: bind the port library, calibrate the delay, fill the device table,
// print the banner, test for the adapter, hand over to the target dialogue, then the closing
// line and the key wait.
#include <cstdio>
#include <string>

#include "commands/commands.h"
#include "commands/settings.h"
#include "commands/state.h"
#include "device/device.h"
#include "link/link.h"
#include "link/programmer.h"
#include "platform/platform.h"

namespace quillon {

void printBanner() {
    std::printf("Quillon Programming Utility V0.97\n");
    std::printf(
        "Copyright (c) the quillon developers; free software under the MIT license, see LICENSE\n");
    std::printf("Type 'e' to exit, 'p' to pause, 'h' for help)\n\n");
}

namespace {

// Says why the adapter test could not even reach the programmer.
void reportUnusablePortLibrary() {
    if (const std::string why = programmer().absence(); !why.empty()) {
        std::printf("%s\n", why.c_str());
    }
}

} // namespace

int runProgram(int argc, char** argv) {
    Process.settings.trimUpload = UploadTrim::trimmed;
    Process.settings.addressRecordType = AddressRecordType::linear;
    platform::openStandardStreams();
    platform::watchForInterrupts();
    (void)bindPortLibrary(); // a missing library shows as a missing adapter below
    calibrateDelay();
    resetSettings();
    printBanner();

    if (adapterPresent() == 0) {
        reportUnusablePortLibrary();
        std::printf("\nTarvik not installed\n");
    } else {
        runTargetDialogue(argc, argv);
    }

    std::printf("\nProgram finished!");
    std::fflush(stdout);
    platform::waitForKey();
    stopIfInterrupted();
    return 0;
}

} // namespace quillon
