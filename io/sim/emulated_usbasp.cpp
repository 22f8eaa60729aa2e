// SPDX-License-Identifier: MIT
#include "sim/emulated_usbasp.h"

#include <algorithm>
#include <libusb.h>

#include "usbasp_protocol.h"

namespace quillon::sim {

namespace {

using namespace std::chrono_literals;
using usbasp::Request;

// The firmware's timer ticks 320 us for its waits and 5.33 us for its ISP delay.
constexpr std::chrono::microseconds tick = 320us;
constexpr std::chrono::nanoseconds ispTick = 5333ns;
constexpr int enableAttempts = 32;

bool is(uint8_t request, Request named) {
    return request == static_cast<uint8_t>(named);
}

} // namespace

EmulatedUsbasp::EmulatedUsbasp(Board& board, FirmwareTime& time, UsbaspSetup setup)
    : wire_(board, [&time](std::chrono::microseconds wait) { time.pass(wait); }), time_(time),
      setup_(setup) {}

bool EmulatedUsbasp::knows(uint8_t request) const {
    if (is(request, Request::GetCapabilities)) {
        return setup_.firmware == Firmware::Current;
    }
    if (is(request, Request::SetLongAddress) || is(request, Request::SetIspSck)) {
        return setup_.firmware != Firmware::Oldest;
    }
    return request >= static_cast<uint8_t>(Request::Connect) &&
           request <= static_cast<uint8_t>(Request::WriteEeprom);
}

int EmulatedUsbasp::request(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                            std::span<uint8_t> data) {
    if (!knows(request)) {
        return setup_.stallsUnknown ? LIBUSB_ERROR_PIPE : 0;
    }
    if ((requestType & 0x80U) != 0) {
        return answerIn(request, value, index, data);
    }
    return takeOut(request, value, index, data);
}

int EmulatedUsbasp::answerIn(uint8_t request, uint16_t value, uint16_t index,
                             std::span<uint8_t> data) {
    std::array<uint8_t, 4> reply{};
    std::size_t length = 0;
    if (is(request, Request::Connect)) {
        connect();
    } else if (is(request, Request::Disconnect)) {
        wire_.release();
    } else if (is(request, Request::Transmit)) {
        reply = wire_.instruction({static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                   static_cast<uint8_t>(index), static_cast<uint8_t>(index >> 8)});
        length = 4;
    } else if (is(request, Request::EnableProg)) {
        reply[0] = enterProgrammingMode() ? 0 : 1;
        length = 1;
    } else if (is(request, Request::ReadFlash) || is(request, Request::ReadEeprom)) {
        address_ = newAddressMode_ ? address_ : value;
        for (uint8_t& byte : data) {
            byte = is(request, Request::ReadFlash) ? readFlash(address_)
                                                   : send(0xA0, static_cast<uint8_t>(address_ >> 8),
                                                          static_cast<uint8_t>(address_), 0);
            ++address_;
        }
        return static_cast<int>(data.size());
    } else if (is(request, Request::SetLongAddress)) {
        newAddressMode_ = true;
        address_ = uint32_t{value} | uint32_t{index} << 16;
    } else if (is(request, Request::SetIspSck)) {
        sckCode_ = static_cast<uint8_t>(value);
        length = 1;
    } else if (is(request, Request::GetCapabilities)) {
        reply = {0x01, 0, 0, 0}; // TPI
        length = 4;
    }
    length = std::min(length, data.size());
    std::copy_n(reply.begin(), length, data.begin());
    return static_cast<int>(length);
}

int EmulatedUsbasp::takeOut(uint8_t request, uint16_t value, uint16_t index,
                            std::span<const uint8_t> data) {
    address_ = newAddressMode_ ? address_ : value;
    if (is(request, Request::WriteEeprom)) {
        for (const uint8_t byte : data) {
            writeEeprom(address_++, byte);
        }
        return static_cast<int>(data.size());
    }
    if (!is(request, Request::WriteFlash)) {
        return 0;
    }
    pageSize_ = (index & 0xFFU) | (index >> 12 & 0x0FU) << 8;
    const unsigned flags = index >> 8 & 0x0FU;
    if ((flags & usbasp::blockFirst) != 0) {
        pageCounter_ = static_cast<uint8_t>(pageSize_);
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        loadFlash(address_, data[i]); // (page size 0, byte-wise flash, is for older AVRs)
        if (pageSize_ != 0 && --pageCounter_ == 0) {
            flushPage(address_, data[i]);
            pageCounter_ = static_cast<uint8_t>(pageSize_);
        }
        // The firmware compares its byte counter with the page size: with 256-byte pages they
        // never match, so the last block always writes its page once more.
        if (i + 1 == data.size() && (flags & usbasp::blockLast) != 0 && pageCounter_ != pageSize_) {
            flushPage(address_, data[i]);
        }
        ++address_;
    }
    return static_cast<int>(data.size());
}

void EmulatedUsbasp::connect() {
    const uint8_t code = setup_.firmware == Firmware::Oldest ? usbasp::sckAuto : sckCode_;
    sckHertz_ = usbasp::autoSckHertz;
    for (const usbasp::SckStep& step : usbasp::sckSteps) {
        sckHertz_ = step.code == code ? step.hertz : sckHertz_;
    }
    sckHertz_ = setup_.jumper ? usbasp::jumperSckHertz : sckHertz_;
    wire_.clockSck(std::chrono::nanoseconds{1000000000LL / sckHertz_},
                   [this](std::chrono::nanoseconds hold) { time_.pass(hold); });
    newAddressMode_ = false;
    wire_.holdReset();
    resetPulse();
    hiaddr_ = 0;
}

void EmulatedUsbasp::resetPulse() {
    // The firmware's ISP delay: half an SCK period in software modes, one timer tick otherwise.
    const auto delay = std::max<std::chrono::nanoseconds>(
        std::chrono::nanoseconds{500000000LL / sckHertz_}, ispTick);
    time_.pass(delay);
    wire_.pulseReset(std::chrono::ceil<std::chrono::microseconds>(delay));
}

bool EmulatedUsbasp::enterProgrammingMode() {
    for (int attempt = 0; attempt < enableAttempts; ++attempt) {
        const auto answer = wire_.instruction({0xAC, 0x53, 0x00, 0x00});
        if (answer[2] == 0x53) {
            return true;
        }
        resetPulse();
    }
    return false;
}

uint8_t EmulatedUsbasp::send(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4) {
    return wire_.instruction({b1, b2, b3, b4})[3];
}

void EmulatedUsbasp::updateExtended(uint32_t address) {
    const auto hiaddr = static_cast<uint8_t>(address >> 17);
    if (setup_.firmware == Firmware::Current && hiaddr != hiaddr_) {
        hiaddr_ = hiaddr;
        send(0x4D, 0x00, hiaddr_, 0x00);
    }
}

uint8_t EmulatedUsbasp::readFlash(uint32_t address) {
    updateExtended(address);
    return send(static_cast<uint8_t>(0x20 | (address & 1U) << 3),
                static_cast<uint8_t>(address >> 9), static_cast<uint8_t>(address >> 1), 0);
}

void EmulatedUsbasp::loadFlash(uint32_t address, uint8_t data) {
    updateExtended(address);
    send(static_cast<uint8_t>(0x40 | (address & 1U) << 3), static_cast<uint8_t>(address >> 9),
         static_cast<uint8_t>(address >> 1), data);
}

void EmulatedUsbasp::flushPage(uint32_t address, uint8_t pollValue) {
    updateExtended(address);
    send(0x4C, static_cast<uint8_t>(address >> 9), static_cast<uint8_t>(address >> 1), 0);
    if (pollValue == 0xFF) {
        wire_.wait(15 * tick);
        return;
    }
    // Reads the byte until it is no longer 0xFF, for 30 ticks at most.
    const auto deadline = time_.now() + 30 * tick;
    while (time_.now() < deadline && readFlash(address) == 0xFF) {
    }
}

void EmulatedUsbasp::writeEeprom(uint32_t address, uint8_t data) {
    send(0xC0, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), data);
    wire_.wait(30 * tick);
}

} // namespace quillon::sim
