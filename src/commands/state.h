// SPDX-License-Identifier: MIT
// The program's process-wide records, all at once.
#pragma once

namespace quillon {

// Puts every process-wide record back to the value start-up leaves it with: the settings record
// as new (an open log or download stream is closed first), the device table filled, no device
// identified, no signature, fuse cells and "pl" count zero, both buffers zero, DelayUnits
// uncalibrated, the target not released. The port library's slots and the wait function are
// left as they are: they are where tests plug in a port and a clock.
void resetProcessState();

} // namespace quillon
