// SPDX-License-Identifier: MIT
// The program's process-wide state: one part per layer. The link layer's part (Link, link/link.h)
// and the device layer's (Target, device/device.h) live in their layers, which read them without
// reaching up; the image layer's part (the buffers) and the commands' own live here, in the one
// record the commands hand down to the operations that work on them.
#pragma once

#include <cstdint>

#include "commands/settings.h"
#include "image/image.h"

namespace quillon {

struct ProcessState {
    ImageBuffers buffers;           // the image and read-back buffers
    CommandSettingsRecord settings; // what the settings words change
    int32_t lockEntryCount = 0;     // "pl" entries since the last one that wrote: 0 or 1
};
inline ProcessState Process;

// Puts every part back to the value start-up leaves it with: the record as new (an open log or
// download stream is closed), no device identified, no signature, fuse cells zero, the delay
// uncalibrated, the target not released. The port library's slots and the wait function are left
// as they are: they are where tests plug in a port and a clock.
void resetProcessState();

} // namespace quillon
