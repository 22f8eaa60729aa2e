// SPDX-License-Identifier: MIT
// The lock byte commands "gl" and "pl". Each takes the text after its command letters (possibly
// empty); those without an argument ignore it. The interpreter connects the target before them and
// releases it afterwards.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillon {

// "gl": reads and shows the lock byte.
void getLockByte(std::string_view ignored);
// "pl": every second entry writes its hexadecimal argument as the lock byte.
void programLockByte(std::string_view value);

} // namespace quillon
