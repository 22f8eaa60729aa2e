// SPDX-License-Identifier: MIT
#include "stk500.h"

#include <array>
#include <vector>

namespace quillon::arduino::stk {

Outcome Link::exchange(std::span<const uint8_t> request, std::span<uint8_t> data,
                       Milliseconds gap) {
    std::vector<uint8_t> frame(request.begin(), request.end());
    frame.push_back(endOfPacket);
    if (!line_.send(frame)) {
        return Outcome::silent;
    }
    sent_ += frame.size();

    std::array<uint8_t, 1> mark{};
    std::size_t got = line_.receive(mark, gap);
    received_ += got;
    if (got == 0) {
        return Outcome::silent;
    }
    if (mark[0] == noSync) {
        return Outcome::noSync;
    }
    if (mark[0] != inSync) {
        return Outcome::garbled;
    }
    got = line_.receive(data, gap);
    received_ += got;
    if (got < data.size()) {
        return Outcome::stopped;
    }
    got = line_.receive(mark, gap);
    received_ += got;
    if (got == 0) {
        return Outcome::stopped;
    }
    return mark[0] == ok ? Outcome::done : Outcome::refused;
}

void Link::drain(Milliseconds quiet) {
    std::array<uint8_t, 64> junk{};
    while (true) {
        const std::size_t got = line_.receive(junk, quiet);
        received_ += got;
        if (got < junk.size()) { // a byte didn't come within `quiet`
            return;
        }
    }
}

} // namespace quillon::arduino::stk
