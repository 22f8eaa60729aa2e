// SPDX-License-Identifier: MIT
#include "fake_port.h"

#include "link/link.h"

namespace quillon::testing {

FakePort* FakePort::active = nullptr;

namespace {

void change(PortCall::Kind kind, uint16_t port, uint8_t bit) {
    FakePort& f = *FakePort::active;
    const auto mask = static_cast<uint8_t>(port == dataPort ? 1U << bit : 0U);
    f.data = static_cast<uint8_t>(kind == PortCall::Kind::Set ? f.data | mask : f.data & ~mask);
    f.calls.push_back({kind, port, bit, 0, f.data});
}

int16_t IO_CALL fakeGet(uint16_t port, uint8_t bit) {
    FakePort& f = *FakePort::active;
    bool level = false;
    if (port == statusPort && bit == misoLine) {
        level = f.misoBits.empty() ? f.misoDefault : f.misoBits.front();
        if (!f.misoBits.empty()) {
            f.misoBits.pop_front();
        }
    } else if (port == statusPort && f.wired) { // status bit 7 reads the inverse of its wire
        level =
            bit == loopBackInA ? f.line(loopBackOutA) : bit == loopBackInB && !f.line(loopBackOutB);
    }
    const int16_t result = level ? f.oneAnswer : int16_t{0};
    f.calls.push_back({PortCall::Kind::Get, port, bit, result, f.data});
    return result;
}

} // namespace

// The tests run on Linux only, where IO_CALL is the default calling convention of a lambda.
FakePort::FakePort(bool isWired) : wired(isWired) {
    active = this;
    PortLibrary = PortLibraryEntries{};
    PortLibrary.SetPortBit = [](uint16_t p, uint8_t bit) { change(PortCall::Kind::Set, p, bit); };
    PortLibrary.ClrPortBit = [](uint16_t p, uint8_t bit) { change(PortCall::Kind::Clear, p, bit); };
    PortLibrary.GetPortBit = fakeGet;
}

FakePort::~FakePort() {
    PortLibrary = PortLibraryEntries{};
    active = nullptr;
}

void FakePort::queueMisoByte(uint8_t value) {
    for (int bit = 7; bit >= 0; --bit) {
        misoBits.push_back(((value >> bit) & 1) != 0);
    }
}

std::vector<std::pair<uint8_t, bool>> FakePort::lineChanges() const {
    std::vector<std::pair<uint8_t, bool>> changes;
    for (const PortCall& call : calls) {
        if (call.kind != PortCall::Kind::Get && call.port == dataPort) {
            changes.emplace_back(call.bit, call.kind == PortCall::Kind::Set);
        }
    }
    return changes;
}

} // namespace quillon::testing
