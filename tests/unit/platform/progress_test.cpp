// SPDX-License-Identifier: MIT
// The progress bar with a hand-driven clock and its output collected in a string.
#include <gtest/gtest.h>

#include "platform/progress.h"

using quillon::progress::ProgressBar;

TEST(ProgressBar, LineShowsOperationBarBytesPercentAndElapsedTime) {
    EXPECT_EQ(ProgressBar::line("Reading flash", 6144, 16384, 4200),
              "Reading flash [#########...............] 6144/16384 bytes  37%  0:04");
    EXPECT_EQ(ProgressBar::line("Programming EEPROM", 512, 512, 75000),
              "Programming EEPROM [########################] 512/512 bytes 100%  1:15");
    // Counts past the total (an odd flash length reads one byte more) stay at the total.
    EXPECT_EQ(ProgressBar::line("x", 17, 16, 0), ProgressBar::line("x", 16, 16, 0));
}

TEST(ProgressBar, DrawsOnATerminalAtMostEveryHundredMillisecondsAndWipesItself) {
    int64_t now = 1000;
    std::string screen;
    ProgressBar progress(
        {[&] { return now; }, [&](std::string_view text) { screen += text; }, /*drawing=*/true});
    progress.start("Programming flash", 100); // done before the first redraw: leaves no trace
    progress.advance(100);
    progress.start("Reading flash", 1000); // which finishes the bar before
    progress.advance(10);                  // too soon to draw anything
    now += 100;
    progress.advance(500);
    now += 50;
    progress.advance(600); // too soon again
    now += 60;
    progress.advance(700);
    progress.finish();
    progress.finish(); // a second finish has nothing left to wipe
    const std::string drawn = "\r" + ProgressBar::line("Reading flash", 500, 1000, 100);
    EXPECT_EQ(screen, drawn + "\r" + ProgressBar::line("Reading flash", 700, 1000, 210) + "\r" +
                          std::string(drawn.size() - 1, ' ') + "\r");
}
