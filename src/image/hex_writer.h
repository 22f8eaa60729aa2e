// SPDX-License-Identifier: MIT
// The Intel HEX writer: a buffer into a HEX file.
#pragma once

#include <cstdint>
#include <string_view>

#include "image/image.h"

namespace quillon {

// The record that gives the address above 64 KiB, with the value of its type field.
enum class AddressRecordType : int32_t {
    segment = 2, // extended segment address (type 02): the block's start / 16
    linear = 4,  // extended linear address (type 04): the block's number
};

// Results of writeHexFile.
inline constexpr int32_t hexFileWritten = 1;
inline constexpr int32_t hexFileNotWritten = -1;

// Writes the first length bytes of data to the file path as Intel HEX: 16-byte data
// records with lower-case digits, an extended address record of the given type after the record
// at offset fff0 of every 64 KiB block, and the end record. The records go to a new file in the
// same folder, which replaces path (the file at the end of its symbolic links) only once it is
// complete and on the disk; a path that names a folder, a FIFO or a device is refused. Returns
// hexFileWritten, or hexFileNotWritten (with a message) when the file couldn't be made or not be
// written completely, and then path is as it was.
[[nodiscard]] int32_t writeHexFile(std::string_view path, const MemoryImage& data, int32_t length,
                                   AddressRecordType addressRecords);

} // namespace quillon
