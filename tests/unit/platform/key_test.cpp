// The console key test over a pipe standing in for standard input.
#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <unistd.h>

#include "platform/platform.h"

namespace {

// Puts the read end of a fresh pipe on standard input for the test's lifetime.
struct PipedInput : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(pipe(ends.data()), 0);
        saved = dup(STDIN_FILENO);
        ASSERT_GE(dup2(ends[0], STDIN_FILENO), 0);
    }
    void TearDown() override {
        dup2(saved, STDIN_FILENO);
        close(saved);
        close(ends[0]);
        if (ends[1] >= 0) {
            close(ends[1]);
        }
    }
    std::array<int, 2> ends{-1, -1};
    int saved = -1;
};

} // namespace

TEST_F(PipedInput, KeyWaitingSeesInputWithoutConsumingIt) {
    EXPECT_FALSE(quillon::platform::keyWaiting());
    ASSERT_EQ(write(ends[1], "x", 1), 1);
    EXPECT_TRUE(quillon::platform::keyWaiting());
    EXPECT_TRUE(quillon::platform::keyWaiting());
    char key = 0;
    ASSERT_EQ(read(STDIN_FILENO, &key, 1), 1);
    EXPECT_EQ(key, 'x');
}

TEST_F(PipedInput, EndOfInputCountsAsAKey) {
    close(ends[1]);
    ends[1] = -1;
    EXPECT_TRUE(quillon::platform::keyWaiting());
    quillon::platform::waitForKey(); // returns at once
}

TEST_F(PipedInput, WaitForKeyBlocksUntilAKeyArrives) {
    const auto start = std::chrono::steady_clock::now();
    std::thread typist([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        (void)write(ends[1], "k", 1);
    });
    quillon::platform::waitForKey();
    typist.join();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
}
