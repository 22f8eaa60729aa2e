// SPDX-License-Identifier: MIT
#include "sim/trace.h"

#include <array>

namespace quillon::sim {

Trace::Trace(const Clock& clock, const std::string& file, bool keep, Problems& problems)
    : clock_(clock), epoch_(clock.now()), keep_(keep) {
    if (!file.empty()) {
        file_.reset(std::fopen(file.c_str(), "w"));
        if (!file_) {
            problems.push_back(
                {Setting::traceFile, "can't write to " + file + "; tracing nothing"});
        }
    }
}

void Trace::reset(bool high) {
    if (!on()) {
        return;
    }
    std::array<char, 48> line{};
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(clock_.now() - epoch_);
    std::snprintf(line.data(), line.size(), "%lld reset %d", static_cast<long long>(micros.count()),
                  high ? 1 : 0);
    emit(line.data());
}

void Trace::instruction(uint32_t frame, bool busy) {
    if (!on()) {
        return;
    }
    std::array<char, 48> line{};
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(clock_.now() - epoch_);
    std::snprintf(line.data(), line.size(), "%lld %08x%s", static_cast<long long>(micros.count()),
                  static_cast<unsigned>(frame), busy ? " busy" : "");
    emit(line.data());
}

void Trace::emit(const char* line) {
    if (file_) {
        // Each line reaches the file at once, so a trace survives a crash of the program.
        std::fputs(line, file_.get());
        std::fputc('\n', file_.get());
        std::fflush(file_.get());
    }
    if (keep_) {
        lines_.emplace_back(line);
    }
}

} // namespace quillon::sim
