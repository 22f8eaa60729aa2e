// SPDX-License-Identifier: MIT
// Finding the USBasp: the devices with its vendor and product ids and its strings (other V-USB
// devices share the ids), the one with the asked serial number, and what its firmware can do.
#include <vector>

#include "usbasp_programmer.h"

namespace quillon::usbasp {

namespace {

// What the search met besides the USBasps it could open.
struct Search {
    std::vector<std::pair<libusb_device_handle*, std::string>> found; // with serial numbers
    std::vector<std::string> otherSerials; // USBasps whose serial number didn't match
    std::string denied;                    // "bus 1 device 5" of one it may not open
};

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + (name.empty() ? std::string("none") : name);
    }
    return text;
}

} // namespace

std::string UsbaspProgrammer::stringOf(libusb_device_handle* handle, uint8_t index) const {
    std::array<unsigned char, 128> text{};
    if (index == 0) {
        return {};
    }
    const int length =
        system_.getStringDescriptorAscii(handle, index, text.data(), static_cast<int>(text.size()));
    return length > 0 ? std::string(text.begin(), text.begin() + length) : std::string{};
}

IoResult UsbaspProgrammer::open() {
    if (handle_ != nullptr) {
        return IO_OK;
    }
    std::string problem;
    const auto config = parseConfig(configText_, problem);
    if (!config) {
        return failed(problem);
    }
    config_ = *config;
    if (context_ == nullptr) {
        if (const int result = system_.init(&context_); result < 0) {
            context_ = nullptr;
#ifdef _WIN32
            if (result == LIBUSB_ERROR_NOT_FOUND) {
                return failed("libusb-1.0.dll not found beside quillon.exe: put libusb's DLL "
                              "(libusb.info, for the same 32 or 64 bits) there, and give the "
                              "USBasp the WinUSB driver with Zadig (zadig.akeo.ie)");
            }
#endif
            return failed(std::string("libusb could not start: ") + system_.errorName(result));
        }
    }
    libusb_device** list = nullptr;
    const ssize_t count = system_.getDeviceList(context_, &list);
    if (count < 0) {
        return failed(std::string("libusb could not list the USB devices: ") +
                      system_.errorName(static_cast<int>(count)));
    }
    Search search;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device* device = list[i]; // NOLINT(cppcoreguidelines-pro-bounds-pointer-arithmetic)
        libusb_device_descriptor descriptor{};
        if (system_.getDeviceDescriptor(device, &descriptor) < 0 ||
            descriptor.idVendor != vendorId || descriptor.idProduct != productId) {
            continue;
        }
        libusb_device_handle* handle = nullptr;
        if (const int result = system_.open(device, &handle); result < 0) {
            if (result == LIBUSB_ERROR_ACCESS || result == LIBUSB_ERROR_NOT_SUPPORTED) {
                search.denied = "bus " + std::to_string(system_.getBusNumber(device)) + " device " +
                                std::to_string(system_.getDeviceAddress(device));
            }
            continue;
        }
        const bool usbasp = stringOf(handle, descriptor.iManufacturer) == manufacturerName &&
                            stringOf(handle, descriptor.iProduct) == productName;
        std::string serial = usbasp ? stringOf(handle, descriptor.iSerialNumber) : "";
        if (usbasp && (config_.serial.empty() || serial == config_.serial)) {
            search.found.emplace_back(handle, std::move(serial));
            continue;
        }
        if (usbasp) {
            search.otherSerials.push_back(serial);
        }
        system_.close(handle);
    }
    system_.freeDeviceList(list, 1);

    if (search.found.size() > 1) {
        std::vector<std::string> serials;
        for (const auto& [handle, serial] : search.found) {
            serials.push_back(serial);
            system_.close(handle);
        }
        return failed("found " + std::to_string(serials.size()) +
                      " USBasps (serial numbers: " + joined(serials) +
                      "): choose one with QUILLON_USBASP=serial=SERIAL-NUMBER, or unplug the "
                      "others");
    }
    if (search.found.empty()) {
        if (!config_.serial.empty() && !search.otherSerials.empty()) {
            return failed("no USBasp with the serial number " + config_.serial +
                          " (found: " + joined(search.otherSerials) + ")");
        }
        if (!search.denied.empty()) {
#ifdef _WIN32
            return failed("the USBasp on USB " + search.denied +
                          " can't be opened without a WinUSB or libusbK driver: install one "
                          "with Zadig (zadig.akeo.ie), choosing USBasp and WinUSB");
#endif
            return failed("no permission to open the USBasp on USB " + search.denied +
                          ": install the udev rule " + std::string(udevRule) +
                          " (the quillon package installs it), run \"sudo udevadm control "
                          "--reload-rules && sudo udevadm trigger\", and plug the USBasp in again");
        }
#ifdef _WIN32
        return failed("no USBasp found: plug it in; Device Manager should then list USBasp, "
                      "with the WinUSB driver that Zadig (zadig.akeo.ie) installs");
#else
        return failed("no USBasp found: plug it in; lsusb should then list \"ID 16c0:05dc Van "
                      "Ooijen Technische Informatica shared ID for use with libusb\"");
#endif
    }
    handle_ = search.found.front().first;

    // The clock is set now; what else the firmware can do is asked when it matters.
    if (config_.sck && !learnFirmware()) {
        closeDevice();
        return IO_FAILED;
    }
    if (config_.sck && !setsClock_) {
        closeDevice();
        return failed("this USBasp's firmware is too old to set the ISP clock (sck=" +
                      std::string(config_.sck->name) +
                      "): for a slow target close its slow-clock jumper and leave sck= out, or "
                      "update its firmware");
    }
    return IO_OK;
}

bool UsbaspProgrammer::learnFirmware() {
    if (firmwareKnown_) {
        return true;
    }
    // Firmware from 2009 on answers SETISPSCK (and knows SETLONGADDRESS); code 0 leaves the
    // clock to the firmware. Firmware from 2011 on answers GETCAPABILITIES. Firmware that
    // doesn't know a request answers nothing, or, in some clones, stalls it.
    std::array<uint8_t, 4> reply{};
    const auto clockReply =
        transferred(Request::SetIspSck, config_.sck ? config_.sck->code : sckAuto, 0,
                    std::span(reply).first(1), false, true);
    const auto capabilities =
        clockReply ? transferred(Request::GetCapabilities, 0, 0, reply, false, true) : clockReply;
    if (!capabilities) {
        return false;
    }
    setsClock_ = *clockReply == 1;
    extendsAddress_ = *capabilities == 4;
    firmwareKnown_ = true;
    return true;
}

} // namespace quillon::usbasp
