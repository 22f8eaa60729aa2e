// SPDX-License-Identifier: MIT
// The block operations built from single instructions, and the choice of programmer.
#include "link/programmer.h"

#include "link/bit_bang_programmer.h"
#include "link/library_programmer.h"
#include "link/link.h"

namespace quillon {

void Programmer::writeFlash(std::span<const uint8_t> data, int32_t pageWords,
                            const BlockProgress& progress) {
    const auto words = static_cast<int32_t>(data.size() / 2);
    int32_t wordsInPage = 0;
    int32_t pageAddress = 0;
    send(isp::loadExtendedAddress(0));
    for (int32_t word = 0; word < words; ++word) {
        if (isp::opensExtendedBlock(word)) {
            // The page writes carry bits 15..0 of the word address; the rest goes ahead.
            send(isp::loadExtendedAddress(isp::extendedAddressOf(word)));
        }
        const auto offset = static_cast<uint8_t>(word % pageWords);
        const auto byte = static_cast<std::size_t>(word) * 2;
        send(isp::loadPageLow(offset, data[byte]));
        send(isp::loadPageHigh(offset, data[byte + 1]));
        if (++wordsInPage == pageWords) {
            wordsInPage = 0;
            send(isp::writeFlashPage(static_cast<uint16_t>(pageAddress)));
            delayMicros(fullPageMicros);
            pageAddress += pageWords;
        }
        progress(2 * word + 2);
    }
    if (wordsInPage != 0) {
        send(isp::writeFlashPage(static_cast<uint16_t>(pageAddress)));
        delayMicros(lastPageMicros);
    }
}

void Programmer::read(Memory memory, std::span<uint8_t> data, const BlockProgress& progress) {
    const auto size = static_cast<int32_t>(data.size());
    if (memory == Memory::eeprom) {
        for (int32_t i = 0; i < size; ++i) {
            data[static_cast<std::size_t>(i)] = transact(isp::readEeprom(static_cast<uint16_t>(i)));
            progress(i + 1);
        }
        return;
    }
    send(isp::loadExtendedAddress(0));
    for (int32_t word = 0; word < size / 2; ++word) {
        if (isp::opensExtendedBlock(word)) {
            send(isp::loadExtendedAddress(isp::extendedAddressOf(word)));
        }
        const auto byte = static_cast<std::size_t>(word) * 2;
        data[byte] = transact(isp::readFlashLow(static_cast<uint16_t>(word)));
        data[byte + 1] = transact(isp::readFlashHigh(static_cast<uint16_t>(word)));
        progress(2 * word + 2);
    }
}

void Programmer::writeEeprom(std::span<const uint8_t> data, const BlockProgress& progress) {
    // Every byte is written, whatever it holds: the write instruction erases the byte itself.
    const auto size = static_cast<int32_t>(data.size());
    for (int32_t i = 0; i < size; ++i) {
        send(isp::writeEeprom(static_cast<uint16_t>(i), data[static_cast<std::size_t>(i)]));
        delayMicros(eepromByteMicros);
        progress(i + 1);
    }
}

Programmer& programmer() {
    static BitBangProgrammer bitBang;
    static LibraryProgrammer library;
    if (ProgrammerLibrary.accepted) {
        return library;
    }
    return bitBang;
}

int adapterPresent() {
    return programmer().present() ? 1 : 0;
}

uint8_t enterProgrammingMode() {
    const uint8_t echo = programmer().enterProgrammingMode();
    Link.targetReleased = 0;
    return echo;
}

void releaseTarget() {
    programmer().release();
    Link.targetReleased = 1;
}

} // namespace quillon
