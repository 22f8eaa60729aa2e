// SPDX-License-Identifier: MIT
// The data-sheet facts of the parts.
#include "sim/parts.h"

#include <algorithm>
#include <cctype>

namespace quillon::sim {

namespace {

struct Geometry {
    uint32_t flashBytes, flashPageBytes, eepromBytes, eepromPageBytes;
    bool eepromPageAccess;
};

struct Waits {
    Micros eepromWrite, chipErase;
};

struct Fuses {
    uint8_t low, high, extended, extendedBits, lockBits;
};

Part makePart(std::string_view name, std::array<uint8_t, 3> signature, Geometry geometry,
              Waits waits, Fuses fuses, uint8_t calibrationBytes) {
    Part part;
    part.name = name;
    part.signature = signature;
    part.flashBytes = geometry.flashBytes;
    part.flashPageBytes = geometry.flashPageBytes;
    part.eepromBytes = geometry.eepromBytes;
    part.eepromPageBytes = geometry.eepromPageBytes;
    part.eepromPageAccess = geometry.eepromPageAccess;
    part.eepromWrite = waits.eepromWrite;
    part.chipErase = waits.chipErase;
    part.lowFuse = fuses.low;
    part.highFuse = fuses.high;
    part.extendedFuse = fuses.extended;
    part.extendedBits = fuses.extendedBits;
    part.lockBits = fuses.lockBits;
    part.calibrationBytes = calibrationBytes;
    return part;
}

// EEPROM byte write and Chip Erase times.
constexpr Waits slowEeprom{Micros{9000}, Micros{9000}};
constexpr Waits fastEeprom{Micros{3600}, Micros{9000}};
constexpr Waits fastEepromSlowErase{Micros{3600}, Micros{10500}};

// Made on first use: the io library makes its board while it is being loaded, possibly before
// this file's statics would be. Geometry: flash and its page, EEPROM and its page (bytes), and
// whether the EEPROM page instructions exist; fuses: low, high, extended as they read on a new
// part, then the extended fuse bits and the lock bits that exist.
std::array<Part, partCount> makeParts() {
    return {
        makePart("ATmega16", {0x1E, 0x94, 0x03}, {16384, 128, 512, 4, true}, slowEeprom,
                 {0xE1, 0x99, 0xFF, 0x00, 0x3F}, 4),
        makePart("ATmega32", {0x1E, 0x95, 0x02}, {32768, 128, 1024, 4, true}, slowEeprom,
                 {0xE1, 0x99, 0xFF, 0x00, 0x3F}, 4),
        makePart("ATmega48", {0x1E, 0x92, 0x05}, {4096, 64, 256, 4, true}, fastEeprom,
                 {0x62, 0xDF, 0xFF, 0x01, 0x03}, 1),
        makePart("ATmega88", {0x1E, 0x93, 0x0A}, {8192, 64, 512, 4, true}, fastEeprom,
                 {0x62, 0xDF, 0xF9, 0x07, 0x3F}, 1),
        makePart("ATmega168", {0x1E, 0x94, 0x06}, {16384, 128, 512, 4, true}, fastEeprom,
                 {0x62, 0xDF, 0xF9, 0x07, 0x3F}, 1),
        makePart("ATmega644", {0x1E, 0x96, 0x09}, {65536, 256, 2048, 8, true}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega128", {0x1E, 0x97, 0x02}, {131072, 256, 4096, 8, false}, slowEeprom,
                 {0xE1, 0x99, 0xFD, 0x03, 0x3F}, 4),
        makePart("ATmega8", {0x1E, 0x93, 0x07}, {8192, 64, 512, 4, false}, slowEeprom,
                 {0xE1, 0xD9, 0xFF, 0x00, 0x3F}, 4),
        makePart("ATmega162", {0x1E, 0x94, 0x04}, {16384, 128, 512, 4, false}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x1E, 0x3F}, 1),
        makePart("ATmega64", {0x1E, 0x96, 0x02}, {65536, 256, 2048, 8, false}, slowEeprom,
                 {0xE1, 0x99, 0xFD, 0x03, 0x3F}, 4),
        makePart("ATmega48P", {0x1E, 0x92, 0x0A}, {4096, 64, 256, 4, true}, fastEepromSlowErase,
                 {0x62, 0xDF, 0xFF, 0x01, 0x03}, 1),
        makePart("ATmega88P", {0x1E, 0x93, 0x0F}, {8192, 64, 512, 4, true}, fastEepromSlowErase,
                 {0x62, 0xDF, 0xF9, 0x07, 0x3F}, 1),
        makePart("ATmega168P", {0x1E, 0x94, 0x0B}, {16384, 128, 512, 4, true}, fastEepromSlowErase,
                 {0x62, 0xDF, 0xF9, 0x07, 0x3F}, 1),
        makePart("ATmega328", {0x1E, 0x95, 0x14}, {32768, 128, 1024, 4, true}, fastEepromSlowErase,
                 {0x62, 0xD9, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega328P", {0x1E, 0x95, 0x0F}, {32768, 128, 1024, 4, true}, fastEepromSlowErase,
                 {0x62, 0xD9, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega328PB", {0x1E, 0x95, 0x16}, {32768, 128, 1024, 4, true},
                 fastEepromSlowErase, {0x62, 0xD9, 0xF7, 0x0F, 0x3F}, 1),
        makePart("ATmega164P", {0x1E, 0x94, 0x0A}, {16384, 128, 512, 4, true}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega324P", {0x1E, 0x95, 0x08}, {32768, 128, 1024, 4, true}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega324PA", {0x1E, 0x95, 0x11}, {32768, 128, 1024, 4, true}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega644P", {0x1E, 0x96, 0x0A}, {65536, 256, 2048, 8, true}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega1284", {0x1E, 0x97, 0x06}, {131072, 256, 4096, 8, true}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega1284P", {0x1E, 0x97, 0x05}, {131072, 256, 4096, 8, true}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega640", {0x1E, 0x96, 0x08}, {65536, 256, 4096, 8, true}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega1280", {0x1E, 0x97, 0x03}, {131072, 256, 4096, 8, true}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega1281", {0x1E, 0x97, 0x04}, {131072, 256, 4096, 8, true}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega2560", {0x1E, 0x98, 0x01}, {262144, 256, 4096, 8, true}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega2561", {0x1E, 0x98, 0x02}, {262144, 256, 4096, 8, true}, slowEeprom,
                 {0x62, 0x99, 0xFF, 0x07, 0x3F}, 1),
        makePart("ATmega8U2", {0x1E, 0x93, 0x89}, {8192, 128, 512, 4, true}, slowEeprom,
                 {0x5E, 0xD9, 0xF4, 0x0F, 0x3F}, 1),
        makePart("ATmega16U2", {0x1E, 0x94, 0x89}, {16384, 128, 512, 4, true}, slowEeprom,
                 {0x5E, 0xD9, 0xF4, 0x0F, 0x3F}, 1),
        makePart("ATmega32U4", {0x1E, 0x95, 0x87}, {32768, 128, 1024, 4, true}, slowEeprom,
                 {0x5E, 0x99, 0xF3, 0x0F, 0x3F}, 1),
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

const std::array<Part, partCount>& knownParts() {
    static const std::array<Part, partCount> parts = makeParts();
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
