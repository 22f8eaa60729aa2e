#include "fake_port.h"

#include <stdexcept>

#include "link/link.h"

namespace quillon::testing {

FakePort* FakePort::active = nullptr;

namespace {

FakePort& port() {
    if (FakePort::active == nullptr) {
        throw std::logic_error("no FakePort installed");
    }
    return *FakePort::active;
}

void IO_CALL fakeSet(uint16_t p, uint8_t bit) {
    FakePort& f = port();
    if (p == dataPort) {
        f.data = static_cast<uint8_t>(f.data | (1U << bit));
    }
    f.calls.push_back({PortCall::Kind::Set, p, bit, 0, f.data});
}

void IO_CALL fakeClear(uint16_t p, uint8_t bit) {
    FakePort& f = port();
    if (p == dataPort) {
        f.data = static_cast<uint8_t>(f.data & ~(1U << bit));
    }
    f.calls.push_back({PortCall::Kind::Clear, p, bit, 0, f.data});
}

int16_t IO_CALL fakeGet(uint16_t p, uint8_t bit) {
    FakePort& f = port();
    bool level = false;
    if (p == statusPort) {
        if (bit == loopBackInA) {
            level = f.wired && f.line(loopBackOutA);
        } else if (bit == loopBackInB) {
            // The port inverts status bit 7: an unwired input floats high and reads 0.
            level = f.wired ? !f.line(loopBackOutB) : false;
        } else if (bit == misoLine) {
            if (f.misoBits.empty()) {
                level = f.misoDefault;
            } else {
                level = f.misoBits.front();
                f.misoBits.pop_front();
            }
        }
    }
    const int16_t result = level ? f.oneAnswer : int16_t{0};
    f.calls.push_back({PortCall::Kind::Get, p, bit, result, f.data});
    return result;
}

} // namespace

FakePort::FakePort(bool isWired) : wired(isWired) {
    active = this;
    PortLibrary = PortLibraryEntries{};
    PortLibrary.SetPortBit = fakeSet;
    PortLibrary.ClrPortBit = fakeClear;
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

std::vector<uint8_t> FakePort::sentBytes() const {
    std::vector<uint8_t> bytes;
    unsigned value = 0;
    int bits = 0;
    bool sck = false;
    for (const PortCall& call : calls) {
        if (call.kind == PortCall::Kind::Get || call.port != dataPort) {
            continue;
        }
        const bool nowSck = ((call.data >> sckLine) & 1) != 0;
        if (nowSck && !sck) {
            value = (value << 1) | ((call.data >> mosiLine) & 1U);
            if (++bits == 8) {
                bytes.push_back(static_cast<uint8_t>(value));
                value = 0;
                bits = 0;
            }
        }
        sck = nowSck;
    }
    return bytes;
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
