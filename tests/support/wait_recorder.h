// SPDX-License-Identifier: MIT
// Tests that call quillon_record_waits link with delayMicros wrapped (-Wl,--wrap): every wait is
// recorded with the number of port calls made before it, and none is actually waited.
#pragma once

#include <vector>

#include "instruction_log.h"

namespace quillon::testing {

inline std::vector<WaitMark> recordedWaits;

} // namespace quillon::testing
