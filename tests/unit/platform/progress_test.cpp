// The progress bar with a hand-driven clock and its output collected in a string.
#include <gtest/gtest.h>

#include "platform/progress.h"

using quillon::progress::ProgressBar;

namespace {

struct ProgressTest : ::testing::Test {
    int64_t now = 1000;
    std::string screen;
    int writes = 0;

    ProgressBar bar(bool terminal) {
        return ProgressBar(ProgressBar::Outlet{[this] { return now; },
                                               [this](std::string_view text) {
                                                   screen += text;
                                                   ++writes;
                                               },
                                               terminal});
    }
};

} // namespace

TEST_F(ProgressTest, LineShowsOperationBarBytesPercentAndElapsedTime) {
    EXPECT_EQ(ProgressBar::line("Reading flash", 6144, 16384, 4200),
              "Reading flash [#########...............] 6144/16384 bytes  37%  0:04");
    EXPECT_EQ(ProgressBar::line("Programming EEPROM", 512, 512, 75000),
              "Programming EEPROM [########################] 512/512 bytes 100%  1:15");
    // Counts past the total (an odd flash length reads one byte more) stay at the total.
    EXPECT_EQ(ProgressBar::line("x", 17, 16, 0), ProgressBar::line("x", 16, 16, 0));
}

TEST_F(ProgressTest, DrawsAtMostEveryHundredMillisecondsAndWipesItselfWhenDone) {
    ProgressBar progress = bar(true);
    progress.start("Reading flash", 1000);
    progress.advance(10);
    EXPECT_EQ(writes, 0); // too soon to draw anything
    now += 100;
    progress.advance(500);
    const std::string drawn = "\r" + ProgressBar::line("Reading flash", 500, 1000, 100);
    EXPECT_EQ(screen, drawn);
    now += 50;
    progress.advance(600);
    EXPECT_EQ(writes, 1);
    now += 60;
    progress.advance(700);
    EXPECT_EQ(writes, 2);
    progress.finish();
    const std::size_t width = drawn.size() - 1;
    EXPECT_EQ(screen.substr(screen.size() - width - 2), "\r" + std::string(width, ' ') + "\r");
    progress.finish(); // a second finish has nothing left to wipe
    EXPECT_EQ(writes, 3);
}

TEST_F(ProgressTest, DrawsNothingOffATerminalForNothingToDoOrForAQuickJob) {
    ProgressBar offTerminal = bar(false);
    offTerminal.start("Programming flash", 16384);
    now += 5000;
    offTerminal.advance(8192);
    offTerminal.finish();
    ProgressBar empty = bar(true);
    empty.start("Reading EEPROM", 0);
    now += 5000;
    empty.advance(0);
    empty.finish();
    ProgressBar quick = bar(true); // done before the first redraw: leaves no trace
    quick.start("Programming flash", 100);
    quick.advance(100);
    quick.finish();
    EXPECT_TRUE(screen.empty());
}
