// SPDX-License-Identifier: MIT
// The io library's thirteen entry points for Linux over a GPIO chip's lines (see
// gpio_adapter.h), configured by QUILLON_GPIO. The lines are claimed on their first use and
// given back, released, when the library is unloaded (or the process ends).
#include <cstdlib>

#include "gpio_adapter.h"

namespace quillon::io {

namespace {

std::string configuration() {
    const char* text = std::getenv("QUILLON_GPIO");
    return text != nullptr ? text : "";
}

gpio::GpioAdapter Adapter(gpio::librarySystem(), configuration());

} // namespace

gpio::GpioAdapter& backend() {
    return Adapter;
}

bool reachable() {
    return Adapter.claimed();
}

} // namespace quillon::io

#include "common/entry_points.h"
