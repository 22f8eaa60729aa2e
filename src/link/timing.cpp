// SPDX-License-Identifier: MIT
// The calibrated busy-wait delay, and the seam every wait goes through.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "link/link.h"
#include "platform/platform.h"

namespace quillon {

void busyWait(int32_t count) {
    // The counter is volatile so that the compiler keeps every pass: the same loop is timed by
    // the calibration and used for every wait. It counts unsigned, so a negative count runs
    // down through the whole 32-bit range without overflowing.
    volatile auto remaining = static_cast<uint32_t>(count);
    for (;;) {
        const uint32_t tested = remaining;
        remaining = tested - 1;
        if (tested == 0) {
            break;
        }
    }
}

namespace {

WaitFunction waitFunction = calibratedWait;

void busyWaitPasses(int64_t passes) {
    constexpr int64_t chunk = std::numeric_limits<int32_t>::max();
    while (passes > 0) {
        const int64_t now = std::min(passes, chunk);
        busyWait(static_cast<int32_t>(now));
        passes -= now;
    }
}

} // namespace

void delayMicros(int32_t micros) {
    waitFunction(micros);
}

WaitFunction setWaitFunction(WaitFunction wait) {
    const WaitFunction previous = waitFunction;
    waitFunction = wait != nullptr ? wait : calibratedWait;
    return previous;
}

void calibratedWait(int32_t micros) {
    if (micros <= 0) {
        return;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::microseconds(micros);
    // 64-bit product: a fast machine's Link.delayUnits times a long wait would overflow 32 bits.
    busyWaitPasses(static_cast<int64_t>(micros) * Link.delayUnits);
    // Link.delayUnits comes from one measurement at start-up. When the loop ran slower then than it
    // does now (another program shared the processor core), the count falls short; the clock
    // then tops the wait up, so that no wait is ever shorter than asked.
    while (Clock::now() < until) {
        busyWait(Link.delayUnits);
    }
}

int32_t delayUnitsFor(int64_t elapsedMillis, int64_t passes) {
    const double seconds = static_cast<double>(elapsedMillis) / 1000.0;
    const double microsPerPass = (seconds / static_cast<double>(passes)) * 1000000.0;
    const double passesPerMicro = std::trunc(1.0 / microsPerPass);
    const double units = std::trunc(passesPerMicro * 1.36);
    return static_cast<int32_t>(
        std::clamp(units, 1.0, static_cast<double>(std::numeric_limits<int32_t>::max())));
}

void calibrateDelay() {
    // A clock too coarse for the standard count measures 0 ms; time a longer run then. A clock
    // that still hasn't moved after 256 times the count is taken to have moved by 1 ms.
    int64_t passes = calibrationPasses;
    int64_t elapsed = 0;
    for (int attempt = 0; attempt < 5 && elapsed <= 0; ++attempt) {
        if (attempt > 0) {
            passes *= 4;
        }
        const int64_t t0 = platform::clockMillis();
        busyWaitPasses(passes);
        elapsed = platform::clockMillis() - t0;
    }
    elapsed = std::max<int64_t>(elapsed, 1);
    Link.delayUnits = delayUnitsFor(elapsed, passes);
    std::printf("Delay parameter for 1 usec is %d\n", Link.delayUnits);
}

} // namespace quillon
