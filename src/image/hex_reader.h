// SPDX-License-Identifier: MIT
// The lenient Intel HEX reader: the records of a HEX text or stream into ImageBuffer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace quillon {

// How reading an Intel HEX file into ImageBuffer ended.
enum class HexLoadStatus {
    loaded,       // every data record lay inside ImageBuffer
    outsideImage, // a data record reached outside ImageBuffer; reading stopped there
    unreadable,   // the stream reported a read error
    binary,       // the file holds a NUL byte: a binary file, not Intel HEX text
};

struct HexLoad {
    HexLoadStatus status = HexLoadStatus::loaded;
    // One past the last byte of the highest-addressed data record, whatever the records'
    // order in the file (each with the base in force for it).
    int32_t loadLength = 0;
    // With outsideImage: the first address of the refused record that lies outside ImageBuffer.
    int64_t outsideAddress = 0;
};

// Fills ImageBuffer with fill and loads the records of an Intel HEX text into it. The reader is
// lenient: a record starts at any ':', its fields are taken by count and converted as the C
// library's "%x" converts them; types 00, 01, 02 and 04 are handled, others skipped; checksums are
// not checked; records after the end record still load. A field that yields no number keeps the
// value it had in the record before (0 in a file's first record); a data byte that yields no number
// is stored as fill. A NUL byte anywhere marks a binary file given by mistake: reading stops and
// the load is refused. Prints nothing.
[[nodiscard]] HexLoad readHexText(std::string_view text, uint8_t fill);
// The same, reading a stream to its end; the stream stays open.
[[nodiscard]] HexLoad readHexStream(std::FILE* stream, uint8_t fill);

} // namespace quillon
