// SPDX-License-Identifier: MIT
// The serial programming instructions, byte for byte as the ATmega data sheets give them.
#include "device/instructions.h"

#include "device/device.h"
#include "link/link.h"

namespace quillon {

namespace {

uint8_t high(uint16_t address) {
    return static_cast<uint8_t>(address >> 8);
}
uint8_t low(uint16_t address) {
    return static_cast<uint8_t>(address & 0xFF);
}

void send(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4) {
    sendByte(b1);
    sendByte(b2);
    sendByte(b3);
    sendByte(b4);
}

// An instruction whose answer comes in byte 4.
uint8_t query(uint8_t b1, uint8_t b2, uint8_t b3) {
    sendByte(b1);
    sendByte(b2);
    sendByte(b3);
    return transferByte(0x00);
}

} // namespace

uint8_t programmingEnable() {
    sendByte(0xAC);
    sendByte(0x53);
    const uint8_t echo = transferByte(0x00);
    sendByte(0x00);
    return echo;
}

void chipErase() {
    send(0xAC, 0x80, 0x00, 0x00);
}

void loadExtendedAddress(uint8_t ext) {
    send(0x4D, 0x00, ext, 0x00);
}

void loadPageLow(uint8_t offset, uint8_t data) {
    send(0x40, 0x00, offset, data);
}

void loadPageHigh(uint8_t offset, uint8_t data) {
    send(0x48, 0x00, offset, data);
}

void writeFlashPage(uint16_t wordAddress) {
    send(0x4C, high(wordAddress), low(wordAddress), 0x00);
}

uint8_t readFlashLow(uint16_t wordAddress) {
    return query(0x20, high(wordAddress), low(wordAddress));
}

uint8_t readFlashHigh(uint16_t wordAddress) {
    return query(0x28, high(wordAddress), low(wordAddress));
}

uint8_t readEepromByte(uint16_t address) {
    return query(0xA0, high(address), low(address));
}

void writeEepromByte(uint16_t address, uint8_t data) {
    send(0xC0, high(address), low(address), data);
}

void loadEepromPage(uint8_t offset, uint8_t data) {
    send(0xC1, 0x00, offset, data);
}

void writeEepromPage(uint16_t address) {
    send(0xC2, high(address), low(address), 0x00);
}

void readSignature() {
    for (std::size_t n = 0; n < targetSignature.size(); ++n) {
        targetSignature[n] = query(0x30, 0x00, static_cast<uint8_t>(n));
    }
}

uint8_t readLockBits() {
    return query(0x58, 0x00, 0x00);
}

void writeLockBits(uint8_t data) {
    send(0xAC, 0xE0, 0x00, data);
}

uint8_t readFuseLow() {
    return query(0x50, 0x00, 0x00);
}

uint8_t readFuseHigh() {
    return query(0x58, 0x08, 0x00);
}

uint8_t readFuseExtended() {
    return query(0x50, 0x08, 0x00);
}

void readFuses() {
    FuseTriple.low = readFuseLow();
    FuseTriple.high = readFuseHigh();
    FuseTriple.extended = readFuseExtended();
}

void writeFuseLow(uint8_t data) {
    send(0xAC, 0xA0, 0x00, data);
}

void writeFuseHigh(uint8_t data) {
    send(0xAC, 0xA8, 0x00, data);
}

void writeFuseExtended(uint8_t data) {
    send(0xAC, 0xA4, 0x00, data);
}

uint8_t readCalibration() {
    return query(0x38, 0x00, 0x00);
}

uint8_t pollReady() {
    return query(0xF0, 0x00, 0x00);
}

int32_t waitReady() {
    for (int32_t polls = 0;; ++polls) {
        if ((pollReady() & 0x01) == 0) {
            return 0;
        }
        delayMicros(100);
        if (polls > 5000) {
            return -1;
        }
    }
}

} // namespace quillon
