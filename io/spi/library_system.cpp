// SPDX-License-Identifier: MIT
// The shared library's system calls are the real ones.
#include "spi_programmer.h"

const quillon::io::LinuxSystem& quillon::spi::librarySystem() {
    return io::realLinuxSystem();
}
