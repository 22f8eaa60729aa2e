// SPDX-License-Identifier: MIT
#include "common/linux_system.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::io {

namespace {

int systemOpen(const char* path, int flags) {
    return ::open(path, flags);
}

int systemIoctl(int fd, unsigned long request, void* argument) {
    return ::ioctl(fd, request, argument);
}

int systemClose(int fd) {
    return ::close(fd);
}

std::string systemDeviceGroup(const char* path) {
    struct stat info {};
    if (::stat(path, &info) != 0) {
        return {};
    }
    const group* owner = ::getgrgid(info.st_gid);
    return owner != nullptr && owner->gr_name != nullptr ? owner->gr_name : std::string{};
}

void systemReport(const std::string& message) {
    std::fputs(message.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

constexpr int64_t nanosecondsPerSecond = 1000000000;

int64_t systemNanoseconds() {
    timespec now{};
    (void)::clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * nanosecondsPerSecond + now.tv_nsec;
}

void systemSleep(int64_t nanoseconds) {
    timespec time{static_cast<time_t>(nanoseconds / nanosecondsPerSecond),
                  static_cast<long>(nanoseconds % nanosecondsPerSecond)};
    while (::nanosleep(&time, &time) != 0 && errno == EINTR) {
        // interrupted by a signal: sleep the rest
    }
}

} // namespace

const LinuxSystem& realLinuxSystem() {
    static const LinuxSystem system{systemOpen,   systemIoctl,       systemClose, systemDeviceGroup,
                                    systemReport, systemNanoseconds, systemSleep};
    return system;
}

void pause(const LinuxSystem& system, int64_t nanoseconds) {
    const int64_t until = system.nanoseconds() + nanoseconds;
    for (int64_t now = system.nanoseconds(); now < until; now = system.nanoseconds()) {
        if (system.sleep != nullptr) {
            system.sleep(until - now);
        }
    }
}

} // namespace quillon::io
