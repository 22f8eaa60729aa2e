// SPDX-License-Identifier: MIT
// A test program that links wait_recorder.cpp has delayMicros record every wait, with the number
// of port calls made before it, instead of waiting (setWaitFunction, src/link/link.h).
#pragma once

#include <vector>

#include "instruction_log.h"

namespace quillon::testing {

inline std::vector<WaitMark> recordedWaits;

} // namespace quillon::testing
