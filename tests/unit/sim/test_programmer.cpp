// SPDX-License-Identifier: MIT
#include "test_programmer.h"

namespace quillon::sim::testing {

namespace {
constexpr uint8_t enableReset = 2, enableClock = 3, sck = 4, mosi = 5, reset6 = 6, reset7 = 7;
}

void TestProgrammer::line(uint8_t bit, bool high) {
    if (high) {
        board_.setPortBit(dataPort, bit);
    } else {
        board_.clrPortBit(dataPort, bit);
    }
}

void TestProgrammer::clockPulse() {
    line(sck, true);
    line(sck, false);
}

void TestProgrammer::enterProgrammingMode(std::chrono::microseconds settle) {
    line(sck, false);
    line(mosi, true);
    line(enableClock, false);
    line(enableReset, false);
    line(reset6, false);
    line(reset7, false);
    line(reset6, true);
    line(reset7, true);
    wait(20us);
    line(reset6, false);
    line(reset7, false);
    wait(settle);
}

void TestProgrammer::release() {
    line(reset6, true);
    line(reset7, true);
    line(enableClock, true);
    line(enableReset, true);
}

uint8_t TestProgrammer::transfer(uint8_t out) {
    uint8_t in = 0;
    for (int i = 0; i < 8; ++i) {
        const int bit = faults.lsbFirst ? i : 7 - i;
        const bool level = ((out >> bit) & 1) != 0;
        if (!faults.mosiAfterRise) {
            line(mosi, level);
        }
        line(sck, true);
        if (faults.mosiAfterRise) {
            line(mosi, level);
        }
        bool sample = faults.sampleAfterFall ? false : miso();
        line(sck, false);
        if (faults.sampleAfterFall) {
            sample = miso();
        }
        if (sample) {
            in = static_cast<uint8_t>(in | (1U << bit));
        }
    }
    return in;
}

std::array<uint8_t, 4> TestProgrammer::instruction(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4) {
    return {transfer(b1), transfer(b2), transfer(b3), transfer(b4)};
}

std::chrono::microseconds TestProgrammer::waitReady() {
    std::chrono::microseconds waited{};
    while ((read(0xF0, 0x00, 0x00) & 1) != 0) {
        if (waited > 2s) {
            return -1us;
        }
        wait(50us);
        waited += 50us;
    }
    return waited;
}

bool TestProgrammer::connect() {
    enterProgrammingMode();
    return programmingEnable() == 0x53;
}

void TestProgrammer::writeFlashPage(uint32_t at, const std::vector<uint8_t>& bytes,
                                    uint32_t pageBytes) {
    for (uint32_t i = 0; i < bytes.size() && i < pageBytes; i += 2) {
        const auto offset = static_cast<uint8_t>(i / 2);
        instruction(0x40, 0x00, offset, bytes[i]);
        instruction(0x48, 0x00, offset, i + 1 < bytes.size() ? bytes[i + 1] : 0xFF);
    }
    const uint32_t word = at / 2;
    instruction(0x4C, static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word), 0x00);
}

uint8_t TestProgrammer::readFlashByte(uint32_t byteAddress) {
    const uint32_t word = byteAddress / 2;
    return read((byteAddress & 1) != 0 ? 0x28 : 0x20, static_cast<uint8_t>(word >> 8),
                static_cast<uint8_t>(word));
}

} // namespace quillon::sim::testing
