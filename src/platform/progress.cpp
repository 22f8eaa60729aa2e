// SPDX-License-Identifier: MIT
// The progress bar: "Reading flash [#######.........] 6144/16384 bytes  37%  0:04".
#include "platform/progress.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/platform.h"

namespace quillon::progress {

namespace {

constexpr int64_t barCells = 24;

ProgressBar& processBar() {
    static ProgressBar bar(ProgressBar::Outlet{platform::clockMillis,
                                               [](std::string_view text) {
                                                   std::fwrite(text.data(), 1, text.size(), stderr);
                                                   std::fflush(stderr);
                                               },
                                               platform::errorIsTerminal()});
    return bar;
}

} // namespace

std::string ProgressBar::line(std::string_view operation, int64_t done, int64_t total,
                              int64_t elapsedMillis) {
    done = std::clamp<int64_t>(done, 0, total);
    const int64_t cells = total > 0 ? done * barCells / total : 0;
    const int64_t percent = total > 0 ? done * 100 / total : 0;
    const int64_t seconds = elapsedMillis / 1000;
    std::string text(operation);
    text += " [";
    text.append(static_cast<std::size_t>(cells), '#');
    text.append(static_cast<std::size_t>(barCells - cells), '.');
    text += "] ";
    std::array<char, 80> numbers{};
    std::snprintf(numbers.data(), numbers.size(), "%lld/%lld bytes %3lld%%  %lld:%02lld",
                  static_cast<long long>(done), static_cast<long long>(total),
                  static_cast<long long>(percent), static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text + numbers.data();
}

void ProgressBar::start(std::string_view operation, int64_t total) {
    finish();
    if (!outlet_.drawing || total <= 0) {
        return;
    }
    operation_ = operation;
    total_ = total;
    startMillis_ = outlet_.clockMillis();
    lastDrawMillis_ = startMillis_;
    active_ = true;
}

void ProgressBar::advance(int64_t done) {
    if (!active_) {
        return;
    }
    const int64_t now = outlet_.clockMillis();
    if (now - lastDrawMillis_ >= redrawMillis) {
        draw(done, now);
    }
}

void ProgressBar::draw(int64_t done, int64_t now) {
    const std::string text = line(operation_, done, total_, now - startMillis_);
    // Pad over whatever a longer earlier line left behind.
    const std::size_t width = std::max(text.size(), drawnWidth_);
    std::string output = "\r" + text;
    output.append(width - text.size(), ' ');
    outlet_.write(output);
    drawnWidth_ = width;
    lastDrawMillis_ = now;
}

void ProgressBar::finish() {
    if (active_ && drawnWidth_ > 0) {
        std::string wipe = "\r";
        wipe.append(drawnWidth_, ' ');
        wipe += '\r';
        outlet_.write(wipe);
    }
    drawnWidth_ = 0;
    active_ = false;
}

void start(std::string_view operation, int64_t total) {
    // Lines already printed must be on the screen before the bar is drawn below them.
    std::fflush(stdout);
    processBar().start(operation, total);
}

void advance(int64_t done) {
    processBar().advance(done);
}

void finish() {
    processBar().finish();
}

} // namespace quillon::progress
