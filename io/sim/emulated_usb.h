// SPDX-License-Identifier: MIT
// USB as the USBasp backend meets it through its table of libusb functions
// (io/usbasp/usb_system.h), emulated: a bus with emulated USBasps (and, if asked, a stranger
// that shares their ids), with the faults a user meets: none plugged in, no permission to open
// it, a transfer that fails or times out. It counts the control transfers and the bytes their
// data stages move.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/emulated_usbasp.h"
#include "usb_system.h"

namespace quillon::sim {

struct UsbFaults {
    bool noDevice = false;  // no USBasp on the bus (only a keyboard)
    bool denied = false;    // opening the USBasp is refused (LIBUSB_ERROR_ACCESS)
    bool stranger = false;  // another V-USB device with the USBasp's ids comes first
    uint32_t failAt = 0;    // nonzero: this control transfer (1 for the first) and every later
                            // one fails (LIBUSB_ERROR_IO): the USBasp is gone
    uint32_t timeoutAt = 0; // nonzero: the same, timing out (LIBUSB_ERROR_TIMEOUT)
};

class EmulatedUsb {
  public:
    using Sleep = std::function<void(std::chrono::microseconds)>;
    using Report = std::function<void(const std::string&)>;

    // USBasps with these serial numbers ("" for none) on `board`, all alike; the host's sleeps
    // go to `sleep`, the backend's reports to `report`. The bus becomes the one the table
    // reaches (one at a time); board and time must outlive it.
    EmulatedUsb(Board& board, FirmwareTime& time, UsbaspSetup setup,
                const std::vector<std::string>& serials, UsbFaults faults, Sleep sleep,
                Report report);
    ~EmulatedUsb();
    EmulatedUsb(const EmulatedUsb&) = delete;
    EmulatedUsb& operator=(const EmulatedUsb&) = delete;

    // The table over the bus in use.
    [[nodiscard]] static const usbasp::UsbSystem& system();

    [[nodiscard]] uint32_t transfers() const { return transfers_; }
    [[nodiscard]] uint64_t bytes() const { return bytes_; }
    [[nodiscard]] int openHandles() const { return openHandles_; }
    [[nodiscard]] const EmulatedUsbasp& usbasp(std::size_t index) const { return *usbasps_[index]; }

    // What the table's functions do (usb_system.h), on this bus.
    struct Device {
        uint16_t vendor, product;
        std::vector<std::string> strings; // manufacturer, product, serial number
        EmulatedUsbasp* usbasp;           // null for the stranger
    };
    [[nodiscard]] const std::vector<Device>& devices() const { return devices_; }
    [[nodiscard]] const UsbFaults& faults() const { return faults_; }
    [[nodiscard]] int transfer(const Device& device, uint8_t requestType, uint8_t request,
                               uint16_t value, uint16_t index, std::span<uint8_t> data);
    void opened(int change) { openHandles_ += change; }
    void sleep(std::chrono::microseconds time) const { sleep_(time); }
    void report(const std::string& line) const { report_(line); }

  private:
    FirmwareTime& time_;
    std::vector<std::unique_ptr<EmulatedUsbasp>> usbasps_;
    std::vector<Device> devices_;
    UsbFaults faults_;
    Sleep sleep_;
    Report report_;
    uint32_t transfers_ = 0;
    uint64_t bytes_ = 0;
    int openHandles_ = 0;
};

} // namespace quillon::sim
