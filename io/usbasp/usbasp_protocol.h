// SPDX-License-Identifier: MIT
// The USBasp's vendor requests as its firmware answers them (control transfers on endpoint 0),
// shared by the backend and the tests' emulated USBasp.
//
//   CONNECT          RESET low and pulsed, the firmware's SCK chosen (the slow-clock jumper's
//                    8 kHz, else the SETISPSCK choice); the long address mode ends
//   DISCONNECT       every ISP line an input
//   TRANSMIT         value and index carry the instruction (bytes 0, 1 in value, 2, 3 in index,
//                    low byte first); answers the four bytes shifted out
//   ENABLEPROG       Programming Enable, up to 32 times with RESET pulses; answers 0 on success
//   READFLASH,       value: the byte address (unless SETLONGADDRESS gave it); the length is the
//   READEEPROM       count of bytes, read one instruction each
//   WRITEFLASH       value: the address; index: page size bits 0-7 in the low byte, the flags
//                    (FIRST, LAST) in the high byte's low nibble and page size bits 8-11 in its
//                    high nibble. The firmware counts the bytes loaded from the FIRST block's
//                    start, writes the page after each page's worth and, at the end of a LAST
//                    block, the page still pending; after a page write it polls the page's last
//                    byte until it reads other than 0xFF (about 9.6 ms at most), or waits 4.8 ms
//                    when that byte is 0xFF.
//   WRITEEEPROM      value: the address; one Write EEPROM Memory per byte, 9.6 ms after each
//   SETLONGADDRESS   value and index: the 32-bit address for the next READ/WRITE requests, which
//                    then ignore their own until the next CONNECT
//   SETISPSCK        value: an sck code below; answers 0 (firmware from 2009 on)
//   GETCAPABILITIES  answers four bytes (firmware from 2011 on, which also sends Load Extended
//                    Address itself for flash beyond 128 KiB)
// Firmware that doesn't know a request answers no bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quillon::usbasp {

inline constexpr uint16_t vendorId = 0x16c0;
inline constexpr uint16_t productId = 0x05dc;
inline constexpr std::string_view manufacturerName = "www.fischl.de";
inline constexpr std::string_view productName = "USBasp";

enum class Request : uint8_t {
    Connect = 1,
    Disconnect = 2,
    Transmit = 3,
    ReadFlash = 4,
    EnableProg = 5,
    WriteFlash = 6,
    ReadEeprom = 7,
    WriteEeprom = 8,
    SetLongAddress = 9,
    SetIspSck = 10,
    GetCapabilities = 127,
};

inline constexpr uint8_t blockFirst = 1;
inline constexpr uint8_t blockLast = 2;
inline constexpr uint32_t blockBytes = 200;

// The request types: vendor requests to the device, answered (in) or carrying data (out).
inline constexpr uint8_t requestIn = 0xC0;
inline constexpr uint8_t requestOut = 0x40;

// The firmware's ISP clocks by their SETISPSCK code (code 0: the firmware's choice, 375 kHz).
struct SckStep {
    uint8_t code;
    uint32_t hertz;
    std::string_view name; // as sck= takes it
};
inline constexpr std::array<SckStep, 12> sckSteps{{{12, 1500000, "1.5M"},
                                                   {11, 750000, "750k"},
                                                   {10, 375000, "375k"},
                                                   {9, 187500, "187.5k"},
                                                   {8, 93750, "93.75k"},
                                                   {7, 32000, "32k"},
                                                   {6, 16000, "16k"},
                                                   {5, 8000, "8k"},
                                                   {4, 4000, "4k"},
                                                   {3, 2000, "2k"},
                                                   {2, 1000, "1k"},
                                                   {1, 500, "500"}}};
inline constexpr uint8_t sckAuto = 0;
inline constexpr uint32_t autoSckHertz = 375000;
inline constexpr uint32_t jumperSckHertz = 8000;

} // namespace quillon::usbasp
