// SPDX-License-Identifier: MIT
// The Windows build's USB: libusb-1.0.dll, loaded at run time from the folder of quillon.exe
// (there is no Windows libusb on Debian to link against), its functions taken by name into the
// table. Without the DLL, or with one that lacks a function, every call finds no USB.
#include <windows.h>

#include <cstdio>
#include <string>

#include "usb_system.h"

namespace quillon::usbasp {

namespace {

int LIBUSB_CALL noLibrary(libusb_context** /*context*/) {
    return LIBUSB_ERROR_NOT_FOUND;
}

std::wstring programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
           path.size()) {
        path.resize(path.size() * 2);
    }
    path.resize(length);
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring{} : path.substr(0, slash + 1);
}

template <typename Call>
bool take(HMODULE module, const char* name, Call& call) {
    call = reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return call != nullptr;
}

void sleepFor(std::chrono::microseconds time) {
    Sleep(static_cast<DWORD>((time.count() + 999) / 1000));
}

void reportLine(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

UsbSystem loaded() {
    UsbSystem system{};
    system.sleep = sleepFor;
    system.report = reportLine;
    // By full path, so that no other copy on the search path is taken.
    HMODULE module = LoadLibraryExW((programFolder() + L"libusb-1.0.dll").c_str(), nullptr,
                                    LOAD_WITH_ALTERED_SEARCH_PATH);
    const bool complete =
        module != nullptr && take(module, "libusb_init", system.init) &&
        take(module, "libusb_exit", system.exit) &&
        take(module, "libusb_get_device_list", system.getDeviceList) &&
        take(module, "libusb_free_device_list", system.freeDeviceList) &&
        take(module, "libusb_get_device_descriptor", system.getDeviceDescriptor) &&
        take(module, "libusb_get_bus_number", system.getBusNumber) &&
        take(module, "libusb_get_device_address", system.getDeviceAddress) &&
        take(module, "libusb_open", system.open) && take(module, "libusb_close", system.close) &&
        take(module, "libusb_get_string_descriptor_ascii", system.getStringDescriptorAscii) &&
        take(module, "libusb_control_transfer", system.controlTransfer) &&
        take(module, "libusb_error_name", system.errorName);
    if (!complete) {
        system.init = noLibrary; // stays loaded, if at all, until the process ends
    }
    return system;
}

} // namespace

const UsbSystem& realSystem() {
    static const UsbSystem system = loaded();
    return system;
}

} // namespace quillon::usbasp
