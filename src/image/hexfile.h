// SPDX-License-Identifier: MIT
// The Intel HEX reader and writer, and the load and upload commands.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
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

// Fills ImageBuffer with CommandSettings.fillByte and loads the records of an Intel HEX text
// into it. The reader is lenient: a record starts at any ':', its fields are taken by count
// and converted as the C library's "%x" converts them; types 00, 01, 02 and 04 are handled,
// others skipped; checksums are not checked; records after the end record still load. A field
// that yields no number keeps the value it had in the record before (0 in a file's first
// record); a data byte that yields no number is stored as the fill byte. A NUL byte anywhere
// marks a binary file given by mistake: reading stops and the load is refused. Prints nothing.
[[nodiscard]] HexLoad readHexText(std::string_view text);
// The same, reading a stream to its end; the stream stays open.
[[nodiscard]] HexLoad readHexStream(std::FILE* stream);
// The same for CommandSettings.downloadFile, which must be open for reading; closes it.
[[nodiscard]] HexLoad readHexFile();

// The first steps of "df", "de" and "ld": takes fileName as the download file name, opens it
// and reads it into ImageBuffer. Returns the load length, or nothing after printing why the
// file was not loaded (it could not be opened or read, or it reaches outside ImageBuffer).
[[nodiscard]] std::optional<int32_t> loadDownloadFile(std::string_view fileName);

// Results of writeHexFile.
inline constexpr int32_t hexFileWritten = 1;
inline constexpr int32_t hexFileNotWritten = -1;

// Writes the first length bytes of ReadBackBuffer to the file path as Intel HEX: 16-byte data
// records with lower-case digits, an extended address record (type 04, or type 02 when
// CommandSettings.addressRecordType isn't 4) after the record at offset fff0 of every 64 KiB
// block, and the end record. Returns hexFileWritten, or hexFileNotWritten when the file
// couldn't be opened or not be written completely (with a message).
[[nodiscard]] int32_t writeHexFile(std::string_view path, int32_t length);

// "ld": loads an Intel HEX file into ImageBuffer without touching the target.
void loadImage(std::string_view fileName);
// "uf": reads the flash back into an Intel HEX file.
void uploadFlash(std::string_view fileName);
// "ue": reads the EEPROM back into an Intel HEX file.
void uploadEeprom(std::string_view fileName);

} // namespace quillon
