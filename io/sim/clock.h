// SPDX-License-Identifier: MIT
// The time a simulated board runs on. The io library's board reads the steady clock, so the
// part's wake-up after RESET and its busy times pass as real time passes for the program. In
// process (the tests and the interpreter fuzzer) a VirtualClock stands still until the
// program's waits move it on: everything runs at full speed, and an instruction that comes
// sooner than the data sheet allows is still refused.
#pragma once

#include <chrono>

namespace quillon::sim {

class Clock {
  public:
    using Duration = std::chrono::nanoseconds;

    Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;
    virtual ~Clock() = default;

    // The time since an arbitrary start of this clock's own.
    [[nodiscard]] virtual Duration now() const = 0;
};

// Real time: std::chrono::steady_clock.
class SteadyClock final : public Clock {
  public:
    [[nodiscard]] Duration now() const override {
        return std::chrono::duration_cast<Duration>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
};

// Time that passes only when advanced.
class VirtualClock final : public Clock {
  public:
    [[nodiscard]] Duration now() const override { return now_; }
    void advance(Duration by) { now_ += by; }

  private:
    Duration now_{};
};

} // namespace quillon::sim
