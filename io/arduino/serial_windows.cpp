// SPDX-License-Identifier: MIT
// The serial line on Windows: COMn opened through the Win32 serial calls.
#include <array>
#include <string>
#include <thread>
#include <utility>

#include <windows.h>

#include "serial_line.h"

namespace quillon::arduino {

namespace {

constexpr DWORD writeTimeoutMs = 2000;
constexpr int highestPort = 256;

class ComLine final : public SerialLine {
  public:
    explicit ComLine(HANDLE handle) : handle_(handle) {}
    ComLine(const ComLine&) = delete;
    ComLine& operator=(const ComLine&) = delete;
    ~ComLine() override { CloseHandle(handle_); }

    bool send(std::span<const uint8_t> bytes) override {
        while (!bytes.empty()) {
            DWORD written = 0;
            if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           nullptr) ||
                written == 0) {
                return false;
            }
            bytes = bytes.subspan(written);
        }
        return true;
    }

    // ReadFile gives up `gap` after it began; as long as bytes keep coming it is called again.
    std::size_t receive(std::span<uint8_t> data, Milliseconds gap) override {
        if (gap != gap_ && !setTimeouts(gap)) {
            return 0;
        }
        std::size_t done = 0;
        while (done < data.size()) {
            DWORD got = 0;
            if (!ReadFile(handle_, data.subspan(done).data(),
                          static_cast<DWORD>(data.size() - done), &got, nullptr) ||
                got == 0) {
                break;
            }
            done += got;
        }
        return done;
    }

    bool pulseModemLines(Milliseconds width) override {
        if (!EscapeCommFunction(handle_, CLRDTR) || !EscapeCommFunction(handle_, CLRRTS)) {
            return false;
        }
        std::this_thread::sleep_for(width);
        return EscapeCommFunction(handle_, SETDTR) && EscapeCommFunction(handle_, SETRTS);
    }

    [[nodiscard]] bool setTimeouts(Milliseconds gap) {
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = 0;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(gap.count());
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = writeTimeoutMs;
        if (!SetCommTimeouts(handle_, &timeouts)) {
            return false;
        }
        gap_ = gap;
        return true;
    }

  private:
    HANDLE handle_;
    Milliseconds gap_{-1};
};

std::string openProblem(const std::string& port, DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return noSuchPort(port);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return "Arduino: " + port +
               " is in use by another program (a serial monitor?); close it "
               "and try again";
    default:
        return "Arduino: can't open " + port + " (Windows error " + std::to_string(error) + ")";
    }
}

} // namespace

OpenedLine openSerialLine(const std::string& port, uint32_t baud) {
    // "\\.\COM12": the device namespace, which COM10 and up need.
    const std::string path = port.starts_with(R"(\\.\)") ? port : R"(\\.\)" + port;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return {nullptr, openProblem(port, GetLastError())};
    }
    auto line = std::make_unique<ComLine>(handle);
    DCB settings{};
    settings.DCBlength = sizeof(settings);
    if (!GetCommState(handle, &settings)) {
        return {nullptr, "Arduino: " + port + " is not a serial port"};
    }
    settings.BaudRate = baud;
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.fBinary = TRUE;
    settings.fParity = FALSE;
    settings.fOutxCtsFlow = FALSE;
    settings.fOutxDsrFlow = FALSE;
    settings.fDtrControl = DTR_CONTROL_ENABLE;
    settings.fRtsControl = RTS_CONTROL_ENABLE;
    settings.fDsrSensitivity = FALSE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    settings.fNull = FALSE;
    settings.fAbortOnError = FALSE;
    if (!SetCommState(handle, &settings) || !line->setTimeouts(Milliseconds{100})) {
        return {nullptr, "Arduino: " + port + " won't take " + std::to_string(baud) + " baud 8N1"};
    }
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return {std::move(line), ""};
}

std::string existingSerialPorts() {
    std::string list;
    std::array<char, 512> target{};
    for (int n = 1; n <= highestPort; ++n) {
        const std::string name = "COM" + std::to_string(n);
        if (QueryDosDeviceA(name.c_str(), target.data(), static_cast<DWORD>(target.size())) != 0) {
            list += (list.empty() ? "serial ports here: " : ", ") + name;
        }
    }
    return list.empty() ? "no serial ports found: is the Arduino plugged in?" : list;
}

} // namespace quillon::arduino
