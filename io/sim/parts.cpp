// SPDX-License-Identifier: MIT
// The data-sheet facts of the seven parts.
#include "sim/parts.h"

#include <algorithm>
#include <cctype>

namespace quillon::sim {

namespace {

struct Geometry {
    uint32_t flashBytes, flashPageBytes, eepromBytes, eepromPageBytes;
    bool eepromPageAccess;
};

struct Fuses {
    uint8_t low, high, extended, extendedBits;
};

Part makePart(std::string_view name, std::array<uint8_t, 3> signature, Geometry geometry,
              Micros eepromWrite, Fuses fuses, uint8_t calibrationBytes) {
    Part part;
    part.name = name;
    part.signature = signature;
    part.flashBytes = geometry.flashBytes;
    part.flashPageBytes = geometry.flashPageBytes;
    part.eepromBytes = geometry.eepromBytes;
    part.eepromPageBytes = geometry.eepromPageBytes;
    part.eepromPageAccess = geometry.eepromPageAccess;
    part.eepromWrite = eepromWrite;
    part.lowFuse = fuses.low;
    part.highFuse = fuses.high;
    part.extendedFuse = fuses.extended;
    part.extendedBits = fuses.extendedBits;
    part.calibrationBytes = calibrationBytes;
    return part;
}

// Made on first use: the io library makes its board while it is being loaded, possibly before
// this file's statics would be.
std::array<Part, 7> makeParts() {
    return {
        makePart("ATmega16", {0x1E, 0x94, 0x03}, {16384, 128, 512, 4, true}, Micros{9000},
                 {0xE1, 0x99, 0xFF, 0x00}, 4),
        makePart("ATmega32", {0x1E, 0x95, 0x02}, {32768, 128, 1024, 4, true}, Micros{9000},
                 {0xE1, 0x99, 0xFF, 0x00}, 4),
        makePart("ATmega48", {0x1E, 0x92, 0x05}, {4096, 64, 256, 4, true}, Micros{3600},
                 {0x62, 0xDF, 0xFF, 0x01}, 1),
        makePart("ATmega88", {0x1E, 0x93, 0x0A}, {8192, 64, 512, 4, true}, Micros{3600},
                 {0x62, 0xDF, 0xF9, 0x07}, 1),
        makePart("ATmega168", {0x1E, 0x94, 0x06}, {16384, 128, 512, 4, true}, Micros{3600},
                 {0x62, 0xDF, 0xF9, 0x07}, 1),
        makePart("ATmega644", {0x1E, 0x96, 0x09}, {65536, 256, 2048, 8, true}, Micros{9000},
                 {0x62, 0x99, 0xFF, 0x07}, 1),
        makePart("ATmega128", {0x1E, 0x97, 0x02}, {131072, 256, 4096, 8, false}, Micros{9000},
                 {0xE1, 0x99, 0xFD, 0x03}, 4),
    };
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::optional<std::array<uint8_t, 3>> parseSignature(std::string_view text) {
    if (text.size() != 6 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        return std::nullopt;
    }
    std::array<uint8_t, 3> signature{};
    for (std::size_t i = 0; i < signature.size(); ++i) {
        signature[i] =
            static_cast<uint8_t>(std::stoul(std::string(text.substr(2 * i, 2)), nullptr, 16));
    }
    return signature;
}

} // namespace

const std::array<Part, 7>& knownParts() {
    static const std::array<Part, 7> parts = makeParts();
    return parts;
}

std::optional<Part> findPart(std::string_view nameOrSignature) {
    const auto& parts = knownParts();
    for (const Part& part : parts) {
        if (equalIgnoringCase(part.name, nameOrSignature)) {
            return part;
        }
    }
    const auto signature = parseSignature(nameOrSignature);
    if (!signature) {
        return std::nullopt;
    }
    for (const Part& part : parts) {
        if (part.signature == *signature) {
            return part;
        }
    }
    Part unknown = parts[0];
    unknown.signature = *signature;
    unknown.name = "unrecognised " + std::string(nameOrSignature);
    std::transform(unknown.name.begin(), unknown.name.end(), unknown.name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return unknown;
}

} // namespace quillon::sim
