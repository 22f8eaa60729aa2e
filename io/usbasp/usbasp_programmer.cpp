// SPDX-License-Identifier: MIT
#include "usbasp_programmer.h"

#include <algorithm>
#include <utility>

namespace quillon::usbasp {

namespace {

using namespace std::chrono_literals;

// How long a request may take: 5 seconds, and the time the firmware needs for a block at the
// ISP clock: 32 bits an instruction and up to 10 ms of waiting for each byte (an EEPROM write).
constexpr unsigned int spareMillis = 5000;
constexpr unsigned int byteWaitMillis = 10;

unsigned int timeoutMillis(uint32_t sckHertz) {
    return spareMillis + blockBytes * (32 * 1000 / sckHertz + byteWaitMillis);
}
// The firmware leaves RESET low at CONNECT; the target listens 20 ms later.
constexpr std::chrono::microseconds settleTime = 25ms;
constexpr uint32_t segmentBytes = 0x20000; // what one Load Extended Address byte reaches
constexpr uint8_t loadExtendedAddress = 0x4D;
// A new ATmega runs at 1 MHz: the fastest ISP clock below a quarter of that.
constexpr uint32_t newChipSckHertz = 187500;

const char* nameOf(Request request) {
    switch (request) {
    case Request::Connect:
        return "CONNECT";
    case Request::Disconnect:
        return "DISCONNECT";
    case Request::Transmit:
        return "TRANSMIT";
    case Request::ReadFlash:
        return "READFLASH";
    case Request::EnableProg:
        return "ENABLEPROG";
    case Request::WriteFlash:
        return "WRITEFLASH";
    case Request::ReadEeprom:
        return "READEEPROM";
    case Request::WriteEeprom:
        return "WRITEEEPROM";
    case Request::SetLongAddress:
        return "SETLONGADDRESS";
    case Request::SetIspSck:
        return "SETISPSCK";
    case Request::GetCapabilities:
        break;
    }
    return "GETCAPABILITIES";
}

// The bytes of the next block from `address` on: at most a block, and within one 128 KiB
// segment of flash.
uint32_t blockFrom(uint32_t address, uint32_t remaining, bool flash) {
    const uint32_t bytes = std::min(remaining, blockBytes);
    return flash ? std::min(bytes, segmentBytes - address % segmentBytes) : bytes;
}

} // namespace

UsbaspProgrammer::UsbaspProgrammer(const UsbSystem& system, std::string configText)
    : system_(system), configText_(std::move(configText)) {}

UsbaspProgrammer::~UsbaspProgrammer() {
    closeDevice();
    if (context_ != nullptr) {
        system_.exit(context_);
    }
}

void UsbaspProgrammer::closeDevice() {
    if (handle_ != nullptr) {
        system_.close(handle_);
        handle_ = nullptr;
    }
}

IoResult UsbaspProgrammer::failed(std::string message) {
    error_ = std::move(message);
    return IO_FAILED;
}

IoResult UsbaspProgrammer::notOpen() {
    return failed("the USBasp is not open");
}

std::optional<int> UsbaspProgrammer::transferred(Request request, uint16_t value, uint16_t index,
                                                 std::span<uint8_t> data, bool out,
                                                 bool stallIsNone) {
    // Without sck= the firmware may run at the slow-clock jumper's 8 kHz.
    const unsigned int timeout = timeoutMillis(config_.sck ? config_.sck->hertz : jumperSckHertz);
    const int result = system_.controlTransfer(
        handle_, out ? requestOut : requestIn, static_cast<uint8_t>(request), value, index,
        data.data(), static_cast<uint16_t>(data.size()), timeout);
    if (result >= 0 || (stallIsNone && result == LIBUSB_ERROR_PIPE)) {
        return std::max(result, 0);
    }
    const std::string name = nameOf(request);
    if (result == LIBUSB_ERROR_TIMEOUT) {
        error_ = "the USBasp did not answer its " + name + " request within " +
                 std::to_string((timeout + 999) / 1000) +
                 " seconds: unplug it, plug it in again and start over";
    } else if (result == LIBUSB_ERROR_NO_DEVICE) {
        error_ =
            "the USBasp went away during its " + name + " request: plug it in again and start over";
    } else {
        error_ = "the USBasp's " + name + " request failed (" + system_.errorName(result) +
                 "): check its USB cable, then unplug it, plug it in again and start over";
    }
    return std::nullopt;
}

bool UsbaspProgrammer::transfer(Request request, uint16_t value, uint16_t index,
                                std::span<uint8_t> data, bool out) {
    const auto count = transferred(request, value, index, data, out);
    if (count && std::cmp_not_equal(*count, data.size())) {
        error_ = std::string("the USBasp moved ") + std::to_string(*count) + " of " +
                 std::to_string(data.size()) + " bytes in its " + nameOf(request) +
                 " request: unplug it, plug it in again and start over";
        return false;
    }
    return count.has_value();
}

IoResult UsbaspProgrammer::enable(uint8_t& echo) {
    echo = 0;
    if (handle_ == nullptr) {
        return notOpen();
    }
    if (!transfer(Request::Connect, 0, 0, {})) {
        return IO_FAILED;
    }
    longAddressMode_ = false;
    extendedAddress_ = 0;
    system_.sleep(settleTime);
    std::array<uint8_t, 1> failure{};
    if (!transfer(Request::EnableProg, 0, 0, failure)) {
        return IO_FAILED;
    }
    if (failure[0] == 0) {
        echo = 0x53;
    } else {
        reportSlowTarget();
    }
    return IO_OK;
}

std::string UsbaspProgrammer::clockName() const {
    if (!config_.sck) {
        return "the firmware's own ISP clock (375 kHz, or 8 kHz with the slow-clock jumper "
               "closed)";
    }
    return "an ISP clock of " + std::string(config_.sck->name) + "Hz";
}

void UsbaspProgrammer::reportSlowTarget() {
    if (slowTargetReported_) {
        return;
    }
    slowTargetReported_ = true;
    const uint32_t clock = config_.sck ? config_.sck->hertz : autoSckHertz;
    const auto slower = sckStepAtMost(std::min(clock / 2, newChipSckHertz));
    std::string line = "USBasp: the target does not answer Programming Enable at " + clockName();
    if (slower) {
        line += "; a target on a slow clock (a new ATmega runs at 1 MHz) needs an ISP clock "
                "below a quarter of its own: try QUILLON_USBASP=sck=" +
                std::string(slower->name) + ", and check the cable and the target's power";
    } else {
        line += ", the slowest: check the cable, the target's power and its clock";
    }
    system_.report(line);
}

IoResult UsbaspProgrammer::release() {
    if (handle_ == nullptr) {
        return notOpen();
    }
    return transfer(Request::Disconnect, 0, 0, {}) ? IO_OK : IO_FAILED;
}

IoResult UsbaspProgrammer::instruction(std::span<const uint8_t, 4> bytes,
                                       std::span<uint8_t, 4> answer) {
    if (handle_ == nullptr) {
        return notOpen();
    }
    const auto value = static_cast<uint16_t>(bytes[1] << 8 | bytes[0]);
    const auto index = static_cast<uint16_t>(bytes[3] << 8 | bytes[2]);
    if (!transfer(Request::Transmit, value, index, answer)) {
        return IO_FAILED;
    }
    if (bytes[0] == loadExtendedAddress) {
        extendedAddress_ = bytes[2];
    }
    return IO_OK;
}

bool UsbaspProgrammer::addressBlock(uint32_t address, bool flash) {
    const bool beyondFirstSegment = flash && (address >= segmentBytes || extendedAddress_ != 0);
    if ((address > 0xFFFF || beyondFirstSegment) && !learnFirmware()) {
        return false;
    }
    if (beyondFirstSegment && !extendsAddress_ && address / segmentBytes != extendedAddress_) {
        // Firmware before 2011 leaves the extended address byte to the host.
        const std::array<uint8_t, 4> load{loadExtendedAddress, 0,
                                          static_cast<uint8_t>(address / segmentBytes), 0};
        std::array<uint8_t, 4> answer{};
        if (instruction(load, answer) != IO_OK) {
            return false;
        }
    }
    if (address <= 0xFFFF && !longAddressMode_) {
        return true;
    }
    if (!setsClock_) {
        error_ = "this USBasp's firmware is too old to reach memory beyond 64 KiB: update its "
                 "firmware";
        return false;
    }
    longAddressMode_ = true; // until the next CONNECT the firmware takes addresses only so
    return transfer(Request::SetLongAddress, static_cast<uint16_t>(address),
                    static_cast<uint16_t>(address >> 16), {});
}

IoResult UsbaspProgrammer::readMemory(IoMemory memory, uint32_t address, std::span<uint8_t> data,
                                      Progress progress, void* context) {
    if (handle_ == nullptr) {
        return notOpen();
    }
    const bool flash = memory == IO_FLASH;
    for (uint32_t done = 0; done < data.size();) {
        const uint32_t bytes =
            blockFrom(address + done, static_cast<uint32_t>(data.size()) - done, flash);
        if (!addressBlock(address + done, flash) ||
            !transfer(flash ? Request::ReadFlash : Request::ReadEeprom,
                      static_cast<uint16_t>(address + done), 0, data.subspan(done, bytes))) {
            return IO_FAILED;
        }
        done += bytes;
        if (progress != nullptr && progress(done, context) != 0) {
            return done < data.size() ? IO_STOPPED : IO_OK;
        }
    }
    return IO_OK;
}

IoResult UsbaspProgrammer::writeFlash(uint32_t address, std::span<const uint8_t> data,
                                      uint32_t pageBytes, Progress progress, void* context) {
    if (handle_ == nullptr) {
        return notOpen();
    }
    if (pageBytes == 0 || pageBytes > 0xFFF) {
        return failed("the USBasp can't write flash pages of " + std::to_string(pageBytes) +
                      " bytes");
    }
    std::array<uint8_t, blockBytes> block{};
    bool stopping = false;
    for (uint32_t done = 0; done < data.size();) {
        const auto remaining = static_cast<uint32_t>(data.size()) - done;
        // Asked to stop, the firmware still loads the rest of the page it began, and writes it.
        const uint32_t bytes = stopping ? std::min(remaining, pageBytes - done % pageBytes)
                                        : blockFrom(address + done, remaining, true);
        const bool last = stopping || bytes == remaining;
        const uint32_t flags = (done == 0 ? blockFirst : 0U) | (last ? blockLast : 0U);
        const auto index =
            static_cast<uint16_t>((flags | (pageBytes >> 8) << 4) << 8 | (pageBytes & 0xFFU));
        std::copy_n(data.begin() + done, bytes, block.begin());
        if (!addressBlock(address + done, true) ||
            !transfer(Request::WriteFlash, static_cast<uint16_t>(address + done), index,
                      std::span(block).first(bytes), true)) {
            return IO_FAILED;
        }
        done += bytes;
        if (stopping) {
            return done < data.size() ? IO_STOPPED : IO_OK;
        }
        if (progress != nullptr && progress(done, context) != 0 && done < data.size()) {
            if (done % pageBytes == 0) {
                return IO_STOPPED;
            }
            stopping = true;
        }
    }
    return IO_OK;
}

IoResult UsbaspProgrammer::writeEeprom(uint32_t address, std::span<const uint8_t> data,
                                       Progress progress, void* context) {
    if (handle_ == nullptr) {
        return notOpen();
    }
    std::array<uint8_t, blockBytes> block{};
    for (uint32_t done = 0; done < data.size();) {
        const uint32_t bytes =
            blockFrom(address + done, static_cast<uint32_t>(data.size()) - done, false);
        std::copy_n(data.begin() + done, bytes, block.begin());
        if (!addressBlock(address + done, false) ||
            !transfer(Request::WriteEeprom, static_cast<uint16_t>(address + done), 0,
                      std::span(block).first(bytes), true)) {
            return IO_FAILED;
        }
        done += bytes;
        if (progress != nullptr && progress(done, context) != 0 && done < data.size()) {
            return IO_STOPPED;
        }
    }
    return IO_OK;
}

} // namespace quillon::usbasp
