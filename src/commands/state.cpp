// SPDX-License-Identifier: MIT
#include "commands/state.h"

#include <memory>

#include "device/device.h"
#include "link/link.h"

namespace quillon {

void resetProcessState() {
    Link = {};
    Target = {};
    // In place: the record holds both buffers, too large for a temporary on every stack.
    std::destroy_at(&Process);
    std::construct_at(&Process);
}

} // namespace quillon
