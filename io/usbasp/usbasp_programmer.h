// SPDX-License-Identifier: MIT
// The USBasp behind the io library's programmer extension (io.h): finding it on USB, entering
// programming mode at the chosen ISP clock, single instructions, and flash and EEPROM in blocks
// of up to 200 bytes through the firmware's READ/WRITE requests (usbasp_protocol.h).
//
// Settings (QUILLON_USBASP, a comma list): "sck=187.5k" chooses the ISP clock (one of the
// firmware's steps from 1.5M down to 500 Hz; a value between steps takes the next slower one);
// without it the firmware chooses (375 kHz, or 8 kHz with the slow-clock jumper closed).
// "serial=TEXT" picks the USBasp with that serial number when several are plugged in.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "io.h"
#include "usb_system.h"
#include "usbasp_protocol.h"

namespace quillon::usbasp {

// Where the package installs the rule that lets the logged-in user open the USBasp.
inline constexpr std::string_view udevRule = "/lib/udev/rules.d/60-quillon-usbasp.rules";

struct UsbaspConfig {
    std::optional<SckStep> sck; // none: the firmware's choice
    std::string serial;         // empty: any
};

// Parses the QUILLON_USBASP text. Nothing, and one line saying why in `problem`, for a text it
// can't use.
[[nodiscard]] std::optional<UsbaspConfig> parseConfig(std::string_view text, std::string& problem);

// The fastest step at or below `hertz`; nothing below the slowest.
[[nodiscard]] std::optional<SckStep> sckStepAtMost(uint32_t hertz);

class UsbaspProgrammer {
  public:
    using Progress = IoProgress;

    UsbaspProgrammer(const UsbSystem& system, std::string configText);
    ~UsbaspProgrammer();
    UsbaspProgrammer(const UsbaspProgrammer&) = delete;
    UsbaspProgrammer& operator=(const UsbaspProgrammer&) = delete;

    // The entry points of io.h, answering an IoResult.
    [[nodiscard]] IoResult open();
    [[nodiscard]] IoResult enable(uint8_t& echo);
    [[nodiscard]] IoResult release();
    [[nodiscard]] IoResult instruction(std::span<const uint8_t, 4> bytes,
                                       std::span<uint8_t, 4> answer);
    [[nodiscard]] IoResult writeFlash(uint32_t address, std::span<const uint8_t> data,
                                      uint32_t pageBytes, Progress progress, void* context);
    [[nodiscard]] IoResult readMemory(IoMemory memory, uint32_t address, std::span<uint8_t> data,
                                      Progress progress, void* context);
    [[nodiscard]] IoResult writeEeprom(uint32_t address, std::span<const uint8_t> data,
                                       Progress progress, void* context);
    [[nodiscard]] const std::string& error() const { return error_; }

  private:
    // One control transfer: `data` goes out, or is filled and must come back whole. False,
    // with error_ set, when the transfer fails or answers short.
    [[nodiscard]] bool transfer(Request request, uint16_t value, uint16_t index,
                                std::span<uint8_t> data, bool out = false);
    // The same, answering the count of bytes that moved (firmware that doesn't know a request
    // answers none), or nothing, with error_ set, when the transfer failed. `stallIsNone`: a
    // stalled request counts as answered with nothing.
    [[nodiscard]] std::optional<int> transferred(Request request, uint16_t value, uint16_t index,
                                                 std::span<uint8_t> data, bool out = false,
                                                 bool stallIsNone = false);
    // Asks the firmware, once, which requests it knows. False (error_ set) when that failed.
    [[nodiscard]] bool learnFirmware();
    // Makes the firmware address `address` for the next block, as it needs.
    [[nodiscard]] bool addressBlock(uint32_t address, bool flash);
    [[nodiscard]] IoResult failed(std::string message);
    [[nodiscard]] IoResult notOpen();
    void closeDevice();
    [[nodiscard]] std::string stringOf(libusb_device_handle* handle, uint8_t index) const;
    [[nodiscard]] std::string clockName() const;
    void reportSlowTarget();

    const UsbSystem& system_;
    std::string configText_;
    UsbaspConfig config_;
    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
    std::string error_;
    bool firmwareKnown_ = false;   // the two below were asked
    bool setsClock_ = false;       // the firmware knows SETISPSCK (and SETLONGADDRESS)
    bool extendsAddress_ = false;  // the firmware sends Load Extended Address itself
    bool longAddressMode_ = false; // SETLONGADDRESS was sent since the last CONNECT
    uint8_t extendedAddress_ = 0;  // what the target's extended address byte holds
    bool slowTargetReported_ = false;
};

} // namespace quillon::usbasp
