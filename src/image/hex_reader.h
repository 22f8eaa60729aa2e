// SPDX-License-Identifier: MIT
// The Intel HEX reader: the records of a HEX text or stream, each checked whole, into the image.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "image/image.h"

namespace quillon {

// How reading an Intel HEX file into the image ended.
enum class HexLoadStatus {
    loaded,       // every record was sound and every data record lay inside the image
    outsideImage, // a data record reached outside the image; reading stopped there
    unreadable,   // the stream reported a read error
    binary,       // the file holds a NUL byte: a binary file, not Intel HEX text
    malformed,    // a record is damaged (HexLoad::fault tells how); reading stopped there
    noData,       // the file holds no data record with at least one byte
};

// What is wrong with a malformed record.
enum class HexFault {
    none,
    checksum,      // its bytes don't add up to 0 with its checksum
    notHex,        // a character that is no hexadecimal digit stands among its digits
    shortLine,     // its line ends before the byte count's data bytes and the checksum
    unfinished,    // the file ends inside it
    addressLength, // an extended address record (type 02 or 04) without exactly 2 data bytes
};

struct HexLoad {
    HexLoadStatus status = HexLoadStatus::loaded;
    // One past the last byte of the highest-addressed data record, whatever the records'
    // order in the file (each with the base in force for it).
    int32_t loadLength = 0;
    // With outsideImage: the first address of the refused record that lies outside the image.
    int64_t outsideAddress = 0;
    // With malformed: what is wrong, and the line (from 1) on which the record starts.
    HexFault fault = HexFault::none;
    int32_t line = 0;
    // With malformed: the record's byte count (short_, addressLength), its record type
    // (addressLength), the offending character (notHex), the checksum the file gives and the one
    // its bytes need (checksum).
    int32_t byteCount = 0;
    uint8_t recordType = 0;
    uint8_t character = 0;
    uint8_t checksumGiven = 0;
    uint8_t checksumNeeded = 0;
};

// Fills image with fill and loads the records of an Intel HEX text into it. A record starts
// at a ':' and is checked whole before it is used: hexadecimal digits in either case, as many as
// its byte count asks for on its own line, and a checksum that its bytes add up with to 0. Text
// outside records (line ends, blank lines, comments) is skipped; types 00, 02 and 04 are used and
// all others (01, 03, 05) skipped, and records after the end record still load. Reading stops at
// the first damaged record or one that reaches outside the image; a file without a data byte is
// refused, and a NUL byte anywhere marks a binary file given by mistake. Prints nothing.
[[nodiscard]] HexLoad readHexText(std::string_view text, uint8_t fill, MemoryImage& image);
// The same, reading a stream to its end; the stream stays open.
[[nodiscard]] HexLoad readHexStream(std::FILE* stream, uint8_t fill, MemoryImage& image);

} // namespace quillon
