// SPDX-License-Identifier: MIT
// The fuse commands: "gf1", "gf2", "gf3", "gf", "a", "pfa", "pf1", "pf2", "pf3".
//
// FuseTriple's cells after readFuses hold extended, high, low (cells 1, 2, 3); the user's fuse
// byte 1 is the low fuse, 2 the high and 3 the extended fuse.
#include <cstdio>

#include "commands/hex_value.h"
#include "device/device.h"
#include "device/device_commands.h"
#include "device/instructions.h"
#include "link/link.h"

namespace quillon {

namespace {

uint8_t& cell(int n) {
    return FuseTriple[static_cast<std::size_t>(n - 1)];
}

unsigned shown(uint8_t value) {
    return value;
}

// Every fuse write is followed by the chip's write time, so that the next instruction (or the
// release) does not arrive while the chip is still busy and ignoring it.
void writeFuse(void (*write)(uint8_t), uint8_t value) {
    write(value);
    delayMicros(fuseWriteWaitMicros);
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

// "pf1" to "pf3": a value the user didn't give is never written.
void programFuseByte(int n, void (*write)(uint8_t), std::string_view value) {
    if (!recognisedForWriting("Fuse byte")) {
        return;
    }
    const std::optional<uint8_t> fuse = readHexByte(value);
    if (!fuse) {
        std::printf("Fuse byte %d not written: give its value in hexadecimal, as in pf%d%s\n", n, n,
                    n == 1 ? "e1" : (n == 2 ? "99" : "fd"));
        return;
    }
    cell(n) = *fuse;
    writeFuse(write, cell(n));
    std::printf("Write fuse byte %d: %x\n", n, shown(cell(n)));
}

} // namespace

void getFuseByte1(std::string_view) {
    readFuses();
    std::printf("Fuse byte 1: %x\n", shown(cell(3)));
}

void getFuseByte2(std::string_view) {
    readFuses();
    std::printf("Fuse byte 2: %x\n", shown(cell(2)));
}

void getFuseByte3(std::string_view) {
    readFuses();
    std::printf("Fuse byte 3: %x\n", shown(cell(1)));
}

void getFuseBytes(std::string_view) {
    readFuses();
    std::printf("Fuse bytes: %x %x %x\n", shown(cell(1)), shown(cell(2)), shown(cell(3)));
}

void programDefaultFuses(std::string_view) {
    const DeviceRecord* device = currentDeviceRecord();
    if (device == nullptr) {
        std::printf("Default fuses not written: target not recognised - check it with i\n");
        return;
    }
    writeFuse(writeFuseLow, device->defaultLowFuse());
    writeFuse(writeFuseHigh, device->defaultHighFuse());
    writeFuse(writeFuseExtended, device->defaultExtendedFuse());
    std::printf("Write fuse bytes: %x %x %x\n", shown(device->defaultFuses[0]),
                shown(device->defaultFuses[1]), shown(device->defaultFuses[2]));
}

bool parseFuseTriple(std::string_view text) {
    bool complete = true;
    for (int n = 1; n <= 3; ++n) {
        // Fields 1 and 2 end at the next comma; field 3 is the rest of the text.
        const std::size_t comma = n < 3 ? text.find(',') : std::string_view::npos;
        const std::string_view field = text.substr(0, comma);
        if (const std::optional<uint8_t> value = readHexByte(field)) {
            cell(n) = *value;
        } else {
            complete = false;
        }
        if (n < 3) {
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
    writeFuse(writeFuseLow, cell(1));
    writeFuse(writeFuseHigh, cell(2));
    writeFuse(writeFuseExtended, cell(3));
    std::printf("Write fuse bytes: %x %x %x\n", shown(cell(1)), shown(cell(2)), shown(cell(3)));
}

void programFuseByte1(std::string_view value) {
    programFuseByte(1, writeFuseLow, value);
}

void programFuseByte2(std::string_view value) {
    programFuseByte(2, writeFuseHigh, value);
}

void programFuseByte3(std::string_view value) {
    programFuseByte(3, writeFuseExtended, value);
}

} // namespace quillon
