// SPDX-License-Identifier: MIT
// What the Linux io backends ask of the operating system, as a table of function pointers: the
// libraries use the real calls, the tests fakes.
#pragma once

#include <cstdint>
#include <string>

namespace quillon::io {

// open, ioctl and close behave like the POSIX calls: -1 with errno set on failure. deviceGroup
// names the group that owns a device file (empty when unknown); report shows one message line
// to the user; nanoseconds reads the monotonic clock; sleep lets at least that many nanoseconds
// pass (a backend without it waits by reading the clock).
struct LinuxSystem {
    int (*open)(const char* path, int flags);
    int (*ioctl)(int fd, unsigned long request, void* argument);
    int (*close)(int fd);
    std::string (*deviceGroup)(const char* path);
    void (*report)(const std::string& message);
    int64_t (*nanoseconds)();
    void (*sleep)(int64_t nanoseconds) = nullptr;
};

// open(2), ioctl(2), close(2), stat(2) with the group database, standard error, CLOCK_MONOTONIC
// and nanosleep(2).
[[nodiscard]] const LinuxSystem& realLinuxSystem();

// Waits until `nanoseconds` have passed on the system's clock, sleeping when it can.
void pause(const LinuxSystem& system, int64_t nanoseconds);

} // namespace quillon::io
