// SPDX-License-Identifier: MIT
// The console key test with a pipe standing in for standard input.
#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/platform.h"

using quillon::platform::keyWaiting;

namespace {

// True while the thread `tid` of this process sleeps in the kernel (state S in its stat line).
bool asleep(long tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto name = line.rfind(") ");
    return name != std::string::npos && name + 2 < line.size() && line[name + 2] == 'S';
}

} // namespace

TEST(Console, TheKeyWaitBlocksUntilAKeyWhichStaysUnreadAndEndOfInputIsAKey) {
    std::array<int, 2> ends{};
    ASSERT_EQ(pipe(ends.data()), 0);
    const int saved = dup(STDIN_FILENO);
    dup2(ends[0], STDIN_FILENO);
    EXPECT_FALSE(keyWaiting());
    // The key comes once the waiting thread has gone to sleep in the kernel (or after 5 s, so
    // that a wait that spins fails rather than hangs).
    const long waiter = syscall(SYS_gettid);
    std::atomic<bool> typed{false};
    bool typedWhileAsleep = false;
    std::thread typist([&] {
        const auto start = std::chrono::steady_clock::now();
        while (!asleep(waiter) &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
            std::this_thread::yield();
        }
        typedWhileAsleep = asleep(waiter);
        typed = true;
        EXPECT_EQ(write(ends[1], "x", 1), 1);
    });
    quillon::platform::waitForKey();
    EXPECT_TRUE(typed); // it returned only once the key came
    typist.join();
    EXPECT_TRUE(typedWhileAsleep);
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
