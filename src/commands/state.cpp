// SPDX-License-Identifier: MIT
#include "commands/state.h"

#include <cstdio>

#include "commands/settings.h"
#include "device/device.h"
#include "device/instructions.h"
#include "commands/lock_commands.h"
#include "image/image.h"
#include "link/link.h"

namespace quillon {

void resetProcessState() {
    for (std::FILE* stream : {CommandSettings.logFile, CommandSettings.downloadFile}) {
        if (stream != nullptr) {
            std::fclose(stream);
        }
    }
    CommandSettings = CommandSettingsRecord{};
    DeviceTable = {};
    fillDeviceTable();
    currentDevice = -1;
    targetSignature = {};
    FuseTriple = {};
    lockEntryCount = 0;
    fillImageBuffer(0);
    fillReadBackBuffer(0);
    DelayUnits = uncalibratedDelayUnits;
    targetReleased = 0;
}

} // namespace quillon
