// SPDX-License-Identifier: MIT
// The io backends' tests: a fake system seam that logs every call (Recorder), and table rows of
// port accesses (Row) played on a backend over it (check).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "common/port_bits.h"

namespace quillon::testing {

[[nodiscard]] inline std::string hex(unsigned value) {
    std::array<char, 16> text{};
    (void)std::snprintf(text.data(), text.size(), "%02x", value);
    return text.data();
}

// Each call logged as a word and a space, "!" marking the one that fails; a clock that moves on
// 100 ns at each reading, and the shortest time between two changes of the lines.
struct Recorder {
    std::string failing{}; // the start of the call that fails with `error`
    int error = 0;
    std::string log{};
    std::vector<std::string> messages{};
    int64_t now = 0, lastChange = -1, shortestHold = INT64_MAX;

    int answer(const std::string& call, int result, bool change = false) {
        shortestHold =
            std::min(shortestHold, change && lastChange >= 0 ? now - lastChange : INT64_MAX);
        lastChange = change ? now : lastChange;
        const bool fails = !failing.empty() && call.starts_with(failing);
        errno = error;
        log += call + (fails ? "! " : " ");
        return fails ? -1 : result;
    }

    // The seams' calls that are alike, answered by the fake that check() plays on: open (on
    // descriptor 3) and close, a message to the user, and the clock.
    static inline Recorder* recording = nullptr;
    static int open(const char* path, int) {
        return recording->answer(std::string("open:") + path, 3);
    }
    static int close(int fd) { return recording->answer("close:" + std::to_string(fd), 0); }
    static void report(const std::string& message) { recording->messages.push_back(message); }
    static int64_t clock() { return recording->now += 100; }
};

struct Row {
    std::string config, failing; // the settings; the start of the call that fails, with `error`
    int error;
    // Words: "378+4" sets bit 4 of port 0x378, "378-4" clears it, "37a=5" writes 0x05, "379?6"
    // reads bit 6 and "379=" the whole port, putting the answer in the log ("=-1 ", "=7f ").
    std::string script, log;
    int64_t hold;        // the shortest time between two changes, in microseconds
    std::string message; // a part of the one message, or "" for none (each starts "io library: ")
};

// Each row's script played on the backend that `make` makes for its settings over a fresh
// `fake`, and what the fake saw once the backend has ended.
template <typename Fake, typename Make>
void check(Fake& fake, const std::vector<Row>& rows, Make make) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.config + " " + row.failing + " " + row.script);
        fake = Fake{{row.failing, row.error}};
        Recorder::recording = &fake;
        {
            auto ports = make(row.config);
            EXPECT_EQ(fake.log, ""); // nothing before the first access
            std::istringstream words(row.script);
            for (std::string word; words >> word;) {
                uint16_t at = 0;
                unsigned value = 0;
                char op = 0;
                const bool given = std::sscanf(word.c_str(), "%hx%c%x", &at, &op, &value) == 3;
                if (op == '+' || op == '-') {
                    ports.setBit(at, value, op == '+');
                } else if (op == '?') {
                    fake.log += "=" + std::to_string(io::readBit(ports, at, value)) + " ";
                } else if (given) {
                    ports.out(at, static_cast<uint8_t>(value));
                } else {
                    fake.log += "=" + hex(ports.in(at)) + " ";
                }
            }
        }
        EXPECT_EQ(fake.log, row.log);
        EXPECT_EQ(fake.shortestHold == INT64_MAX ? row.hold : fake.shortestHold / 1000, row.hold);
        EXPECT_EQ(fake.messages.size(), row.message.empty() ? 0U : 1U);
        for (const std::string& said : fake.messages) {
            EXPECT_NE(said.find(row.message), std::string::npos) << said;
        }
    }
}

} // namespace quillon::testing
