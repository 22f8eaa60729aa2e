// SPDX-License-Identifier: MIT
// A recording fake of the io port library for in-process tests. While a FakePort lives, its
// entry points fill PortLibrary's slots. It keeps the data port's latch, models the adapter's
// loop-back wires (status bit 5 follows data bit 0, status bit 7 reads the inverse of data
// bit 1) when wired, answers MISO reads from a queue of bits, and records every call.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

namespace quillon::testing {

struct PortCall {
    enum class Kind { Set, Clear, Get };
    Kind kind;
    uint16_t port;
    uint8_t bit;
    int16_t result; // for Get
    uint8_t data;   // the data latch after the call
};

class FakePort {
  public:
    explicit FakePort(bool wired = true);
    ~FakePort();
    FakePort(const FakePort&) = delete;
    FakePort& operator=(const FakePort&) = delete;

    // Queues the eight bits of value, most significant first, as MISO's next readings.
    void queueMisoByte(uint8_t value);
    // The level of a data-port line.
    [[nodiscard]] bool line(uint8_t bit) const { return ((data >> bit) & 1) != 0; }
    // Every set or clear of a data-port bit, as (bit, level), in order.
    [[nodiscard]] std::vector<std::pair<uint8_t, bool>> lineChanges() const;

    std::vector<PortCall> calls;
    uint8_t data = 0;
    bool wired;
    int16_t oneAnswer = -1;    // what GetPortBit answers for a bit that reads 1
    std::deque<bool> misoBits; // MISO readings still to come; empty reads 0
    bool misoDefault = false;  // what MISO reads once the queue is empty

    static FakePort* active;
};

} // namespace quillon::testing
