// SPDX-License-Identifier: MIT
// The io library's thirteen entry points for Linux, over the parallel ports at the standard
// addresses (see parallel_ports.h), configured by QUILLON_PARPORT. A port is opened and claimed
// on its first use and released and closed when the library is unloaded (or the process ends),
// by the destructor of the ports.
#include <cstdlib>
#include <string_view>

#include "parallel_ports.h"

namespace quillon::io {

namespace {

std::string_view configuration() {
    const char* text = std::getenv("QUILLON_PARPORT");
    return text != nullptr ? text : "";
}

ppdev::ParallelPorts Ports(ppdev::realSystem(), configuration());

} // namespace

ppdev::ParallelPorts& backend() {
    return Ports;
}

bool reachable() {
    return Ports.standardPortReachable();
}

} // namespace quillon::io

#include "common/entry_points.h"
