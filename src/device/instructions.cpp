// SPDX-License-Identifier: MIT
// The serial programming instructions, byte for byte as the ATmega data sheets give them.
#include "device/instructions.h"

#include "device/device.h"
#include "link/link.h"
#include "link/programmer.h"

namespace quillon {

namespace {

void send(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4) {
    programmer().send({b1, b2, b3, b4});
}

// An instruction whose answer comes in byte 4.
uint8_t query(uint8_t b1, uint8_t b2, uint8_t b3) {
    return programmer().transact({b1, b2, b3, 0x00});
}

} // namespace

void chipErase() {
    programmer().send(isp::chipErase);
}

void loadExtendedAddress(uint8_t ext) {
    programmer().send(isp::loadExtendedAddress(ext));
}

void loadPageLow(uint8_t offset, uint8_t data) {
    programmer().send(isp::loadPageLow(offset, data));
}

void loadPageHigh(uint8_t offset, uint8_t data) {
    programmer().send(isp::loadPageHigh(offset, data));
}

void writeFlashPage(uint16_t wordAddress) {
    programmer().send(isp::writeFlashPage(wordAddress));
}

uint8_t readFlashLow(uint16_t wordAddress) {
    return programmer().transact(isp::readFlashLow(wordAddress));
}

uint8_t readFlashHigh(uint16_t wordAddress) {
    return programmer().transact(isp::readFlashHigh(wordAddress));
}

uint8_t readEepromByte(uint16_t address) {
    return programmer().transact(isp::readEeprom(address));
}

void writeEepromByte(uint16_t address, uint8_t data) {
    programmer().send(isp::writeEeprom(address, data));
}

void loadEepromPage(uint8_t offset, uint8_t data) {
    send(0xC1, 0x00, offset, data);
}

void writeEepromPage(uint16_t address) {
    send(0xC2, isp::high(address), isp::low(address), 0x00);
}
void readSignature() {
    for (std::size_t n = 0; n < Target.signature.size(); ++n) {
        Target.signature[n] = query(0x30, 0x00, static_cast<uint8_t>(n));
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
    Target.fuses.low = readFuseLow();
    Target.fuses.high = readFuseHigh();
    Target.fuses.extended = readFuseExtended();
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
