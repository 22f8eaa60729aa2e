// SPDX-License-Identifier: MIT
// The io library's thirteen entry points for Windows over InpOut32 (see inpout_ports.h),
// configured by QUILLON_INPOUT. InpOut's DLL is loaded on the first port access.
#include <cstdlib>

#include "inpout_ports.h"

namespace quillon::io {

namespace {

std::string configuration() {
    const char* text = std::getenv("QUILLON_INPOUT");
    return text != nullptr ? text : "";
}

inpout::InpOutPorts Ports(inpout::windowsSystem(), configuration());

} // namespace

inpout::InpOutPorts& backend() {
    return Ports;
}

bool reachable() {
    return Ports.reachable();
}

} // namespace quillon::io

#include "common/entry_points.h"
