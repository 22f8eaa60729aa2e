// SPDX-License-Identifier: MIT
#include "sim/emulated_usb.h"

#include "usbasp_protocol.h"

// libusb's opaque types, as this emulation makes them: a device is its place on the bus.
struct libusb_context {};
struct libusb_device {
    std::size_t index;
};
struct libusb_device_handle {
    std::size_t index;
};

namespace quillon::sim {

namespace {

EmulatedUsb* bus = nullptr;

// A keyboard, the stranger and the USBasps, by their places.
std::vector<libusb_device> places;
libusb_context context;

int LIBUSB_CALL init(libusb_context** made) {
    *made = &context;
    return 0;
}

void LIBUSB_CALL exit(libusb_context* /*context*/) {}

ssize_t LIBUSB_CALL getDeviceList(libusb_context* /*context*/, libusb_device*** list) {
    const std::size_t count = bus->devices().size();
    places.resize(count);
    // The list and its end marker, freed by freeDeviceList.
    auto* pointers = new libusb_device*[count + 1]; // NOLINT(cppcoreguidelines-owning-memory)
    for (std::size_t i = 0; i < count; ++i) {
        places[i].index = i;
        pointers[i] = &places[i]; // NOLINT(cppcoreguidelines-pro-bounds-pointer-arithmetic)
    }
    pointers[count] = nullptr; // NOLINT(cppcoreguidelines-pro-bounds-pointer-arithmetic)
    *list = pointers;
    return static_cast<ssize_t>(count);
}

void LIBUSB_CALL freeDeviceList(libusb_device** list, int /*unreference*/) {
    delete[] list; // NOLINT(cppcoreguidelines-owning-memory)
}

int LIBUSB_CALL getDeviceDescriptor(libusb_device* device, libusb_device_descriptor* descriptor) {
    const EmulatedUsb::Device& known = bus->devices().at(device->index);
    *descriptor = {};
    descriptor->idVendor = known.vendor;
    descriptor->idProduct = known.product;
    descriptor->iManufacturer = 1;
    descriptor->iProduct = 2;
    descriptor->iSerialNumber = known.strings.at(2).empty() ? 0 : 3;
    return 0;
}

uint8_t LIBUSB_CALL busNumber(libusb_device* /*device*/) {
    return 1;
}

uint8_t LIBUSB_CALL deviceAddress(libusb_device* device) {
    return static_cast<uint8_t>(device->index + 2);
}

int LIBUSB_CALL open(libusb_device* device, libusb_device_handle** handle) {
    if (bus->faults().denied && bus->devices().at(device->index).usbasp != nullptr) {
        return LIBUSB_ERROR_ACCESS;
    }
    *handle = new libusb_device_handle{device->index}; // NOLINT(cppcoreguidelines-owning-memory)
    bus->opened(1);
    return 0;
}

void LIBUSB_CALL close(libusb_device_handle* handle) {
    delete handle; // NOLINT(cppcoreguidelines-owning-memory)
    bus->opened(-1);
}

int LIBUSB_CALL stringDescriptor(libusb_device_handle* handle, uint8_t index, unsigned char* data,
                                 int length) {
    const auto& strings = bus->devices().at(handle->index).strings;
    if (index == 0 || index > strings.size()) {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    const std::string& text = strings[index - 1];
    const auto count = std::min<std::size_t>(text.size(), static_cast<std::size_t>(length));
    std::copy_n(text.begin(), count, data);
    return static_cast<int>(count);
}

int LIBUSB_CALL controlTransfer(libusb_device_handle* handle, uint8_t requestType, uint8_t request,
                                uint16_t value, uint16_t index, unsigned char* data,
                                uint16_t length, unsigned int /*timeout*/) {
    return bus->transfer(bus->devices().at(handle->index), requestType, request, value, index,
                         std::span(data, length));
}

const char* LIBUSB_CALL errorName(int error) {
    switch (error) {
    case LIBUSB_ERROR_IO:
        return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_TIMEOUT:
        return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_ACCESS:
        return "LIBUSB_ERROR_ACCESS";
    default:
        return "LIBUSB_ERROR_OTHER";
    }
}

void hostSleep(std::chrono::microseconds time) {
    bus->sleep(time);
}

void hostReport(const std::string& line) {
    bus->report(line);
}

} // namespace

EmulatedUsb::EmulatedUsb(Board& board, FirmwareTime& time, UsbaspSetup setup,
                         const std::vector<std::string>& serials, UsbFaults faults, Sleep sleep,
                         Report report)
    : time_(time), faults_(faults), sleep_(std::move(sleep)), report_(std::move(report)) {
    devices_.push_back({0x046d, 0xc31c, {"Logitech", "USB Keyboard", ""}, nullptr});
    if (faults.stranger) {
        devices_.push_back({usbasp::vendorId,
                            usbasp::productId,
                            {"www.example.org", "LED blinker", "1"},
                            nullptr});
    }
    if (!faults.noDevice) {
        for (const std::string& serial : serials) {
            usbasps_.push_back(std::make_unique<EmulatedUsbasp>(board, time, setup));
            devices_.push_back(
                {usbasp::vendorId,
                 usbasp::productId,
                 {std::string(usbasp::manufacturerName), std::string(usbasp::productName), serial},
                 usbasps_.back().get()});
        }
    }
    bus = this;
}

EmulatedUsb::~EmulatedUsb() {
    bus = nullptr;
}

int EmulatedUsb::transfer(const Device& device, uint8_t requestType, uint8_t request,
                          uint16_t value, uint16_t index, std::span<uint8_t> data) {
    ++transfers_;
    if (faults_.failAt != 0 && transfers_ >= faults_.failAt) {
        return LIBUSB_ERROR_IO;
    }
    if (faults_.timeoutAt != 0 && transfers_ >= faults_.timeoutAt) {
        return LIBUSB_ERROR_TIMEOUT;
    }
    if (device.usbasp == nullptr) {
        return LIBUSB_ERROR_PIPE; // the stranger stalls vendor requests it doesn't know
    }
    time_.freeze();
    const int moved = device.usbasp->request(requestType, request, value, index, data);
    time_.thaw();
    bytes_ += static_cast<uint64_t>(std::max(moved, 0)); // a stall moves nothing
    return moved;
}

const usbasp::UsbSystem& EmulatedUsb::system() {
    static const usbasp::UsbSystem table{
        init,          exit,      getDeviceList, freeDeviceList,   getDeviceDescriptor, busNumber,
        deviceAddress, open,      close,         stringDescriptor, controlTransfer,     errorName,
        hostSleep,     hostReport};
    return table;
}

} // namespace quillon::sim
