// SPDX-License-Identifier: MIT
#include "sim/instruction_programmer.h"

#include <algorithm>
#include <utility>

namespace quillon::sim {

namespace {

using std::chrono::microseconds;

// The firmware's waits: the data sheets' longest write times with a margin, as the program
// waits them on the bit level.
constexpr microseconds fullPageWrite{9500};
constexpr microseconds partPageWrite{10500};
constexpr microseconds eepromByteWrite{11500};
constexpr microseconds resetSettle{30000};
constexpr microseconds lineSettle{10};
constexpr uint32_t flashBlockBytes = 256; // read back between two progress calls

uint8_t high(uint32_t value) {
    return static_cast<uint8_t>(value >> 8);
}
uint8_t low(uint32_t value) {
    return static_cast<uint8_t>(value);
}

} // namespace

InstructionProgrammer::InstructionProgrammer(Board& board, IspWire::Wait wait, Faults faults)
    : wire_(board, std::move(wait)), faults_(std::move(faults)) {}

bool InstructionProgrammer::callGoesThrough() {
    ++calls_;
    if (faults_.failingCall != 0 && calls_ >= faults_.failingCall) {
        wire_.release(); // an unplugged programmer drives nothing
        error_ = "the simulated programmer stopped answering (QUILLON_SIM_FAULTS programmer-fail=" +
                 std::to_string(faults_.failingCall) + ")";
        return false;
    }
    error_.clear();
    return true;
}

int32_t InstructionProgrammer::fail(std::string reason) {
    error_ = std::move(reason);
    return IO_FAILED;
}

int32_t InstructionProgrammer::open() {
    if (faults_.noAdapter) {
        return fail("no simulated programmer is plugged in (QUILLON_SIM_FAULTS no-adapter)");
    }
    if (!callGoesThrough()) {
        return IO_FAILED;
    }
    opened_ = true;
    return IO_OK;
}

int32_t InstructionProgrammer::enable(uint8_t& echo) {
    echo = 0;
    if (!opened_) {
        return fail("the simulated programmer was not opened");
    }
    if (!callGoesThrough()) {
        return IO_FAILED;
    }
    wire_.holdReset();
    wire_.wait(resetSettle);
    wire_.pulseReset();
    wire_.wait(resetSettle);
    echo = wire_.instruction({0xAC, 0x53, 0x00, 0x00})[2];
    extended_ = -1;
    return IO_OK;
}

int32_t InstructionProgrammer::release() {
    if (!callGoesThrough()) {
        return IO_FAILED;
    }
    wire_.wait(lineSettle); // as the lines take to settle before RESET rises
    wire_.release();
    return IO_OK;
}

int32_t InstructionProgrammer::instruction(const std::array<uint8_t, 4>& bytes,
                                           std::array<uint8_t, 4>& answer) {
    if (!callGoesThrough()) {
        return IO_FAILED;
    }
    answer = wire_.instruction(bytes);
    if (bytes[0] == 0x4D) {
        extended_ = bytes[2];
    }
    return IO_OK;
}

void InstructionProgrammer::extendTo(uint32_t word) {
    const auto block = static_cast<int32_t>(word >> 16);
    if (block != extended_) {
        send({0x4D, 0x00, static_cast<uint8_t>(block), 0x00});
        extended_ = block;
    }
}

void InstructionProgrammer::waitAfterWrite(microseconds time) {
    if (!faults_.skipWaits) {
        wire_.wait(time);
    }
}

int32_t InstructionProgrammer::writeFlash(uint32_t address, std::span<const uint8_t> data,
                                          uint32_t pageBytes, IoProgress progress, void* context) {
    if (pageBytes < 2 || address % pageBytes != 0 || data.size() % 2 != 0) {
        return fail("flash writes take whole words from the start of a page");
    }
    for (std::size_t done = 0; done < data.size();) {
        if (!callGoesThrough()) {
            return IO_FAILED;
        }
        const std::size_t count = std::min<std::size_t>(pageBytes, data.size() - done);
        const auto firstWord = static_cast<uint32_t>((address + done) / 2);
        extendTo(firstWord);
        for (std::size_t i = 0; i < count; i += 2) {
            const auto offset = static_cast<uint8_t>((i / 2) % (pageBytes / 2));
            send({0x40, 0x00, offset, data[done + i]});
            send({0x48, 0x00, offset, data[done + i + 1]});
        }
        send({0x4C, high(firstWord), low(firstWord), 0x00});
        waitAfterWrite(count == pageBytes ? fullPageWrite : partPageWrite);
        done += count;
        if (progress != nullptr && progress(static_cast<uint32_t>(done), context) != 0) {
            return IO_STOPPED;
        }
    }
    return IO_OK;
}

int32_t InstructionProgrammer::readMemory(int32_t memory, uint32_t address, std::span<uint8_t> data,
                                          IoProgress progress, void* context) {
    const bool flash = memory == IO_FLASH;
    if (!flash && memory != IO_EEPROM) {
        return fail("no such memory");
    }
    if (flash && (address % 2 != 0 || data.size() % 2 != 0)) {
        return fail("flash reads take whole words");
    }
    for (std::size_t done = 0; done < data.size();) {
        if (!callGoesThrough()) {
            return IO_FAILED;
        }
        const std::size_t count = std::min<std::size_t>(flashBlockBytes, data.size() - done);
        for (std::size_t i = done; i < done + count; i += flash ? 2 : 1) {
            const auto at = static_cast<uint32_t>(address + i);
            if (flash) {
                extendTo(at / 2);
                data[i] = wire_.instruction({0x20, high(at / 2), low(at / 2), 0x00})[3];
                data[i + 1] = wire_.instruction({0x28, high(at / 2), low(at / 2), 0x00})[3];
            } else {
                data[i] = wire_.instruction({0xA0, high(at), low(at), 0x00})[3];
            }
        }
        done += count;
        if (progress != nullptr && progress(static_cast<uint32_t>(done), context) != 0) {
            return IO_STOPPED;
        }
    }
    return IO_OK;
}

int32_t InstructionProgrammer::writeEeprom(uint32_t address, std::span<const uint8_t> data,
                                           IoProgress progress, void* context) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (!callGoesThrough()) {
            return IO_FAILED;
        }
        const auto at = static_cast<uint32_t>(address + i);
        send({0xC0, high(at), low(at), data[i]});
        waitAfterWrite(eepromByteWrite);
        if (progress != nullptr && progress(static_cast<uint32_t>(i + 1), context) != 0) {
            return IO_STOPPED;
        }
    }
    return IO_OK;
}

} // namespace quillon::sim
