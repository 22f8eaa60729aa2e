// SPDX-License-Identifier: MIT
// The simulator's emulated USBasp, for the tests and the benchmark: it answers the vendor
// requests (io/usbasp/usbasp_protocol.h) the way the firmware does, driving a simulated board's
// programming lines through an IspWire at the firmware's ISP clock, with the firmware's own
// waits and polling after page and EEPROM writes, its page counting across blocks, its address
// handling (16-bit addresses in the requests, SETLONGADDRESS until the next CONNECT, Load
// Extended Address when the 128 KiB segment changes) and the requests each generation knows.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "sim/board.h"
#include "sim/clock.h"
#include "sim/isp_wire.h"

namespace quillon::sim {

// A board's time behind a programmer's firmware: a base clock (real time for the built program,
// a clock standing still in process) plus every wait of the firmware's, which passes at once.
// While the firmware answers a request the base stands still, so that what the firmware does
// (how often it polls a page being written, say) doesn't depend on how fast the host runs it.
class FirmwareTime final : public Clock {
  public:
    explicit FirmwareTime(const Clock& base) : base_(base) {}
    [[nodiscard]] Duration now() const override {
        return (frozen_ ? frozenAt_ : base_.now()) + ahead_;
    }
    void pass(Duration time) { ahead_ += time; }
    // The base stands still from now until thaw().
    void freeze() {
        frozenAt_ = base_.now();
        frozen_ = true;
    }
    void thaw() { frozen_ = false; }

  private:
    const Clock& base_;
    Duration ahead_{};
    Duration frozenAt_{};
    bool frozen_ = false;
};

enum class Firmware {
    Current, // 2011 on: GETCAPABILITIES, Load Extended Address for flash beyond 128 KiB
    Older,   // 2009: SETISPSCK and SETLONGADDRESS, no GETCAPABILITIES
    Oldest,  // 2007: none of these; the clock is the jumper's
};

struct UsbaspSetup {
    Firmware firmware = Firmware::Current;
    bool jumper = false;        // the slow-clock jumper is closed: 8 kHz whatever SETISPSCK chose
    bool stallsUnknown = false; // a clone's firmware that stalls the requests it doesn't know
};

class EmulatedUsbasp {
  public:
    // The board and the time must outlive the USBasp.
    EmulatedUsbasp(Board& board, FirmwareTime& time, UsbaspSetup setup);

    // One vendor request (its setup packet's fields) with its data stage: `data` holds what an
    // OUT request carries, or receives what an IN request answers. Answers the count of bytes
    // moved, or LIBUSB_ERROR_PIPE for a stall, as a control transfer does.
    [[nodiscard]] int request(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                              std::span<uint8_t> data);

    // The ISP clock the last CONNECT chose.
    [[nodiscard]] uint32_t sckHertz() const { return sckHertz_; }

  private:
    [[nodiscard]] int answerIn(uint8_t request, uint16_t value, uint16_t index,
                               std::span<uint8_t> data);
    [[nodiscard]] int takeOut(uint8_t request, uint16_t value, uint16_t index,
                              std::span<const uint8_t> data);
    void connect();
    [[nodiscard]] bool enterProgrammingMode();
    void resetPulse();
    uint8_t send(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4);
    void updateExtended(uint32_t address);
    [[nodiscard]] uint8_t readFlash(uint32_t address);
    void loadFlash(uint32_t address, uint8_t data);
    void flushPage(uint32_t address, uint8_t pollValue);
    void writeEeprom(uint32_t address, uint8_t data);
    [[nodiscard]] bool knows(uint8_t request) const;

    IspWire wire_;
    FirmwareTime& time_;
    UsbaspSetup setup_;
    uint8_t sckCode_ = 0; // SETISPSCK's choice
    uint32_t sckHertz_ = 375000;
    bool newAddressMode_ = false; // SETLONGADDRESS gave the address
    uint32_t address_ = 0;
    uint8_t hiaddr_ = 0; // the extended address byte the firmware last sent
    unsigned pageSize_ = 0;
    uint8_t pageCounter_ = 0; // a byte, as in the firmware: 256-byte pages count from 0
};

} // namespace quillon::sim
