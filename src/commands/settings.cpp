// SPDX-License-Identifier: MIT
// The command settings' reset.
#include "commands/settings.h"

namespace quillon {

void resetSettings() {
    CommandSettings.verifyMode = VerifyMode::verify;
    CommandSettings.fillByte = 0xFF;
    CommandSettings.outputMode = OutputMode::normal;
    CommandSettings.logOpen = 0;
    CommandSettings.downloadFileName.clear();
    CommandSettings.uploadFileName.clear();
    CommandSettings.logFileName.clear();
    CommandSettings.mismatchFileName.clear();
}

} // namespace quillon
