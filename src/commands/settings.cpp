// SPDX-License-Identifier: MIT
// The command settings' reset.
#include "commands/settings.h"
#include "commands/state.h"

namespace quillon {

void resetSettings() {
    Process.settings.verifyMode = VerifyMode::verify;
    Process.settings.fillByte = 0xFF;
    Process.settings.outputMode = OutputMode::normal;
    Process.settings.logOpen = 0;
    Process.settings.downloadFileName.clear();
    Process.settings.uploadFileName.clear();
    Process.settings.logFileName.clear();
    Process.settings.mismatchFileName.clear();
}

} // namespace quillon
