// SPDX-License-Identifier: MIT
// The console key test with a pipe standing in for standard input.
#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <unistd.h>

#include "platform/platform.h"

using quillon::platform::keyWaiting;

TEST(Console, TheKeyWaitBlocksUntilAKeyWhichStaysUnreadAndEndOfInputIsAKey) {
    std::array<int, 2> ends{};
    ASSERT_EQ(pipe(ends.data()), 0);
    const int saved = dup(STDIN_FILENO);
    dup2(ends[0], STDIN_FILENO);
    EXPECT_FALSE(keyWaiting());
    const auto start = std::chrono::steady_clock::now();
    std::thread typist([&ends] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(write(ends[1], "x", 1), 1);
    });
    quillon::platform::waitForKey();
    typist.join();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
    EXPECT_TRUE(keyWaiting());
    char key = 0;
    EXPECT_EQ(read(STDIN_FILENO, &key, 1), 1); // the key was left for the program to read
    EXPECT_EQ(key, 'x');
    close(ends[1]);
    EXPECT_TRUE(keyWaiting());
    dup2(saved, STDIN_FILENO);
    close(saved);
    close(ends[0]);
}
