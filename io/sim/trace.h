// SPDX-License-Identifier: MIT
// The event trace (QUILLON_SIM_TRACE): one line per event, each starting with the microseconds
// since the board was made (when the io library was loaded): "reset 0" or "reset 1" when the
// target's RESET changes, and each completed instruction as its four bytes in lower-case hex
// ("ac530000"), followed by " busy" when the chip ignored it because it was busy. Nothing is
// formatted unless tracing is on.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sim/clock.h"
#include "sim/config.h"

namespace quillon::sim {

class Trace {
  public:
    // Times are taken from `clock`, from now on. `file` empty: no file. keep: also keep the
    // lines in memory.
    Trace(const Clock& clock, const std::string& file, bool keep, Problems& problems);

    [[nodiscard]] bool on() const { return file_ != nullptr || keep_; }
    void reset(bool high);
    void instruction(uint32_t frame, bool busy);
    [[nodiscard]] const std::vector<std::string>& lines() const { return lines_; }

  private:
    void emit(const char* line);

    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    const Clock& clock_;
    Clock::Duration epoch_;
    std::unique_ptr<std::FILE, Closer> file_;
    bool keep_;
    std::vector<std::string> lines_;
};

} // namespace quillon::sim
