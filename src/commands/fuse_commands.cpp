// SPDX-License-Identifier: MIT
// The fuse commands: "gf1", "gf2", "gf3", "gf", "a", "pfa", "pf1", "pf2", "pf3".
//
// The user's fuse byte 1 is the low fuse, 2 the high and 3 the extended fuse.
#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

#include "commands/fuse_commands.h"
#include "device/device.h"
#include "device/instructions.h"
#include "image/hex_value.h"
#include "link/link.h"

namespace quillon {

namespace {

unsigned shown(uint8_t value) {
    return value;
}

// A fuse as its commands write it: its number in the messages, its instructions, its cell of
// Target.fuses and the bits of it that a serial write can change (in the device row).
struct Fuse {
    int number;
    void (*write)(uint8_t);
    uint8_t (*read)();
    uint8_t FuseCells::*cell;
    uint8_t WritableBits::*bits;
};

constexpr Fuse lowFuse{1, writeFuseLow, readFuseLow, &FuseCells::low, &WritableBits::lowFuse};
constexpr Fuse highFuse{2, writeFuseHigh, readFuseHigh, &FuseCells::high, &WritableBits::highFuse};
constexpr Fuse extendedFuse{3, writeFuseExtended, readFuseExtended, &FuseCells::extended,
                            &WritableBits::extendedFuse};

// The fuses in the order in which "pfa" takes and shows them.
constexpr std::array<const Fuse*, 3> typedOrder{&lowFuse, &highFuse, &extendedFuse};

// A fuse write and what the chip holds afterwards.
struct FuseWrite {
    const Fuse* fuse;
    uint8_t written;
    uint8_t read;
};

// The bits of a fuse that the current device has and a write can change: none for a fuse the
// part lacks (the extended fuse of the ATmega8, ATmega16 and ATmega32).
uint8_t writableBits(const Fuse& fuse) {
    const DeviceRecord* device = currentDeviceRecord();
    return device != nullptr ? device->writable.*(fuse.bits) : 0xFF;
}

bool partHas(const Fuse& fuse) {
    return writableBits(fuse) != 0;
}

// Every fuse write is followed by the chip's write time, so that the next instruction (or the
// release) does not arrive while the chip is still busy and ignoring it; then the fuse is read
// back, since a locked chip ignores the write. A read-back that differs is taken again once the
// chip says it is ready: a slow chip answers 0 while it still writes.
FuseWrite writeFuse(const Fuse& fuse, uint8_t value) {
    fuse.write(value);
    delayMicros(fuseWriteWaitMicros);
    return {&fuse, value, readWhenSettled(fuse.read, value, writableBits(fuse))};
}

// A write of each fuse the part has; nothing is sent for one it lacks.
std::optional<FuseWrite> writeIfPresent(const Fuse& fuse, uint8_t value) {
    if (!partHas(fuse)) {
        return std::nullopt;
    }
    return writeFuse(fuse, value);
}

void printMissingFuse(const Fuse& fuse, const char* what) {
    const std::string_view name = currentDeviceRecord()->name;
    std::printf("Fuse byte %d %s: the %.*s has no extended fuse\n", fuse.number, what,
                static_cast<int>(name.size()), name.data());
}

// After the command's "Write ..." line: an error line for a fuse that doesn't read back as
// written on its writable bits (the chip is ready by then).
void checkReadBack(const FuseWrite& write) {
    const uint8_t writable = writableBits(*write.fuse);
    if (((write.read ^ write.written) & writable) == 0) {
        return;
    }
    std::printf("ERROR - Fuse byte %d reads back %x, not the %x written: ", write.fuse->number,
                shown(write.read), shown(write.written));
    // The lock byte is blamed only as a ready chip reads it: a busy one answers 0, "locked".
    (void)waitReady();
    const uint8_t lock = readLockBits();
    if (writesLocked(lock)) {
        std::printf("the chip is locked (lock byte %x), and only a chip erase, which every df "
                    "does, unlocks it; then write the fuse again\n",
                    shown(lock));
    } else {
        std::printf("check the cable and the target's power, then write the fuse again\n");
    }
}

// The read-backs are judged only on a chip that still answers: one that stopped reads back ff,
// which would pass for a write of ff.
void judge(const std::array<std::optional<FuseWrite>, 3>& writes) {
    if (!targetStillAnswers()) {
        return;
    }
    for (const std::optional<FuseWrite>& write : writes) {
        if (write) {
            checkReadBack(*write);
        }
    }
}

// Fuses are written only into a target that was recognised: one that doesn't answer can't be
// checked afterwards, and another part's fuses mean other things.
bool recognisedForWriting(const char* what) {
    if (currentDeviceRecord() != nullptr) {
        return true;
    }
    std::printf("%s not written: target not recognised - check the cable and the target's power, "
                "then identify it with i\n",
                what);
    return false;
}

// "pf1" to "pf3": a value the user didn't give is never written, nor a fuse the part lacks.
void programFuseByte(const Fuse& target, std::string_view value) {
    const int n = target.number;
    if (!recognisedForWriting("Fuse byte")) {
        return;
    }
    const std::optional<uint8_t> fuse = readHexByte(value);
    if (!fuse) {
        std::printf("Fuse byte %d not written: give its value in hexadecimal, as in pf%d%s\n", n, n,
                    n == 1 ? "e1" : (n == 2 ? "99" : "fd"));
        return;
    }
    if (!partHas(target)) {
        printMissingFuse(target, "not written");
        return;
    }
    uint8_t& cell = Target.fuses.*(target.cell);
    cell = *fuse;
    const FuseWrite written = writeFuse(target, cell);
    std::printf("Write fuse byte %d: %x\n", n, shown(cell));
    judge({written, std::nullopt, std::nullopt});
}

} // namespace

void getFuseByte1(std::string_view) {
    readFuses();
    std::printf("Fuse byte 1: %x\n", shown(Target.fuses.low));
}

void getFuseByte2(std::string_view) {
    readFuses();
    std::printf("Fuse byte 2: %x\n", shown(Target.fuses.high));
}

void getFuseByte3(std::string_view) {
    readFuses();
    std::printf("Fuse byte 3: %x\n", shown(Target.fuses.extended));
}

void getFuseBytes(std::string_view) {
    readFuses();
    std::printf("Fuse bytes: %x %x %x\n", shown(Target.fuses.extended), shown(Target.fuses.high),
                shown(Target.fuses.low));
}

void programDefaultFuses(std::string_view) {
    const DeviceRecord* device = currentDeviceRecord();
    if (device == nullptr) {
        std::printf("Default fuses not written: target not recognised - check it with i\n");
        return;
    }
    // A part without an extended fuse has only two defaults to write.
    const std::array writes{writeIfPresent(lowFuse, device->defaultLowFuse()),
                            writeIfPresent(highFuse, device->defaultHighFuse()),
                            writeIfPresent(extendedFuse, device->defaultExtendedFuse())};
    std::printf("Write fuse bytes: %x %x %x\n", shown(device->defaultExtendedFuse()),
                shown(device->defaultHighFuse()), shown(device->defaultLowFuse()));
    judge(writes);
}

bool parseFuseTriple(std::string_view text) {
    bool complete = true;
    for (const Fuse* fuse : typedOrder) {
        // The first two fields end at the next comma; the third is the rest of the text.
        const bool last = fuse == typedOrder.back();
        const std::size_t comma = !last ? text.find(',') : std::string_view::npos;
        const std::string_view field = text.substr(0, comma);
        if (const std::optional<uint8_t> value = readHexByte(field)) {
            Target.fuses.*(fuse->cell) = *value;
        } else {
            complete = false;
        }
        if (!last) {
            if (comma == std::string_view::npos) {
                return false; // fewer than three fields
            }
            text.remove_prefix(comma + 1);
        }
    }
    return complete;
}

void programAllFuses(std::string_view values) {
    if (!recognisedForWriting("Fuse bytes")) {
        return;
    }
    if (!parseFuseTriple(values)) {
        std::printf("Fuse bytes not written: give low, high and extended fuse in hexadecimal, "
                    "separated by commas, as in pfae1,99,fd\n");
        return;
    }
    const std::array writes{writeIfPresent(lowFuse, Target.fuses.low),
                            writeIfPresent(highFuse, Target.fuses.high),
                            writeIfPresent(extendedFuse, Target.fuses.extended)};
    std::printf("Write fuse bytes: %x %x %x\n", shown(Target.fuses.low), shown(Target.fuses.high),
                shown(Target.fuses.extended));
    if (!partHas(extendedFuse)) {
        printMissingFuse(extendedFuse, "not sent");
    }
    judge(writes);
}

void programFuseByte1(std::string_view value) {
    programFuseByte(lowFuse, value);
}

void programFuseByte2(std::string_view value) {
    programFuseByte(highFuse, value);
}

void programFuseByte3(std::string_view value) {
    programFuseByte(extendedFuse, value);
}

} // namespace quillon
