// SPDX-License-Identifier: MIT
// The serial line on Linux and other POSIX systems: a tty opened raw through termios.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "serial_line.h"

namespace quillon::arduino {

namespace {

struct Rate {
    uint32_t baud;
    speed_t speed;
};

constexpr std::array rates{
    Rate{1200, B1200},     Rate{2400, B2400},     Rate{4800, B4800},     Rate{9600, B9600},
    Rate{19200, B19200},   Rate{38400, B38400},   Rate{57600, B57600},   Rate{115200, B115200},
    Rate{230400, B230400}, Rate{460800, B460800}, Rate{500000, B500000}, Rate{1000000, B1000000},
};

class TtyLine final : public SerialLine {
  public:
    explicit TtyLine(int fd) : fd_(fd) {}
    TtyLine(const TtyLine&) = delete;
    TtyLine& operator=(const TtyLine&) = delete;
    ~TtyLine() override { ::close(fd_); }

    bool send(std::span<const uint8_t> bytes) override {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written < 0 && errno == EAGAIN) {
                pollfd ready{fd_, POLLOUT, 0};
                if (::poll(&ready, 1, 1000) <= 0) {
                    return false;
                }
                continue;
            }
            if (written <= 0) {
                return false;
            }
            bytes = bytes.subspan(static_cast<std::size_t>(written));
        }
        return true;
    }

    std::size_t receive(std::span<uint8_t> data, Milliseconds gap) override {
        std::size_t done = 0;
        while (done < data.size()) {
            pollfd ready{fd_, POLLIN, 0};
            const int events = ::poll(&ready, 1, static_cast<int>(gap.count()));
            if (events < 0 && errno == EINTR) {
                continue;
            }
            if (events <= 0 || (ready.revents & POLLIN) == 0) {
                break;
            }
            const ssize_t got = ::read(fd_, data.subspan(done).data(), data.size() - done);
            if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

    bool pulseModemLines(Milliseconds width) override {
        int lines = TIOCM_DTR | TIOCM_RTS;
        if (::ioctl(fd_, TIOCMBIC, &lines) != 0) {
            return false;
        }
        std::this_thread::sleep_for(width);
        return ::ioctl(fd_, TIOCMBIS, &lines) == 0;
    }

  private:
    int fd_;
};

std::string openProblem(const std::string& port, int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return noSuchPort(port);
    case EACCES:
    case EPERM:
        return "Arduino: no permission to open " + port +
               ": add yourself to the dialout group (sudo usermod -aG dialout $USER) and log in "
               "again";
    case EBUSY:
        return "Arduino: " + port + " is in use by another program; close it and try again";
    default:
        return "Arduino: can't open " + port + ": " + std::strerror(error);
    }
}

// A serial port the kernel knows about and that has hardware behind it: the 8250 driver makes
// ttyS0 to ttyS31 whether or not a UART is there, and says "type 0" for the missing ones.
bool hasHardware(const std::string& name) {
    if (!name.starts_with("ttyS")) {
        return true;
    }
    std::ifstream type("/sys/class/tty/" + name + "/type");
    int kind = 0;
    return static_cast<bool>(type >> kind) && kind != 0;
}

} // namespace

OpenedLine openSerialLine(const std::string& port, uint32_t baud) {
    const auto* rate = std::ranges::find(rates, baud, &Rate::baud);
    if (rate == rates.end()) {
        return {nullptr, "Arduino: " + std::to_string(baud) +
                             " baud is not a rate the serial port can take (the ArduinoISP "
                             "sketch uses 19200)"};
    }
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {nullptr, openProblem(port, errno)};
    }
    auto line = std::make_unique<TtyLine>(fd);
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        return {nullptr, "Arduino: " + port + " is not a serial port"};
    }
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS | PARENB | CSIZE);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, rate->speed) != 0 || ::cfsetospeed(&settings, rate->speed) != 0 ||
        ::tcsetattr(fd, TCSANOW, &settings) != 0) {
        return {nullptr, "Arduino: " + port + " won't take " + std::to_string(baud) + " baud 8N1"};
    }
    ::tcflush(fd, TCIOFLUSH);
    return {std::move(line), ""};
}

std::string existingSerialPorts() {
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
        const std::string name = entry.path().filename().string();
        for (const std::string_view family : {"ttyACM", "ttyUSB", "ttyAMA", "ttyS", "rfcomm"}) {
            if (name.starts_with(family) && name.size() > family.size() && hasHardware(name)) {
                found.push_back(entry.path().string());
            }
        }
    }
    if (found.empty()) {
        return "no serial ports found: is the Arduino plugged in?";
    }
    std::ranges::sort(found);
    std::string list = "serial ports here:";
    for (const auto& port : found) {
        list += (list.back() == ':' ? " " : ", ") + port;
    }
    return list;
}

} // namespace quillon::arduino
