// SPDX-License-Identifier: MIT
// A one-line progress bar for long transfers, drawn on standard error only when standard error is
// a terminal, and wiped when the work is done. Standard output is never touched, so the
// program's printed lines stay exactly as they are. One transfer loop calls start once,
// advance as it goes (cheap: the bar is redrawn at most every 100 milliseconds) and finish.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quillon::progress {

// Begins a bar for `operation` ("Programming flash") over `total` bytes. Nothing is shown for a
// total of 0 or less. A bar still showing is finished first.
void start(std::string_view operation, int64_t total);
// Reports `done` of the total bytes finished.
void advance(int64_t done);
// Wipes the bar, if one was drawn, leaving the cursor at the start of an empty line.
void finish();

// The bar's workings, with its clock, its output and whether to draw at all given from outside,
// so that tests can drive it. The functions above use one over the process's clock and standard
// error.
class ProgressBar {
  public:
    struct Outlet {
        std::function<int64_t()> clockMillis;
        std::function<void(std::string_view)> write;
        bool drawing = false; // standard error is a terminal
    };

    explicit ProgressBar(Outlet outlet) : outlet_(std::move(outlet)) {}

    void start(std::string_view operation, int64_t total);
    void advance(int64_t done);
    void finish();

    // The line drawn for `done` of `total` after `elapsedMillis`, without the carriage return.
    [[nodiscard]] static std::string line(std::string_view operation, int64_t done, int64_t total,
                                          int64_t elapsedMillis);

    // The shortest time between two redraws.
    static constexpr int64_t redrawMillis = 100;

  private:
    void draw(int64_t done, int64_t now);

    Outlet outlet_;
    std::string operation_;
    int64_t total_ = 0;
    int64_t startMillis_ = 0;
    int64_t lastDrawMillis_ = 0;
    std::size_t drawnWidth_ = 0; // characters on the screen now; 0 when nothing is drawn
    bool active_ = false;
};

} // namespace quillon::progress
