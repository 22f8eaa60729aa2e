// SPDX-License-Identifier: MIT
// The Intel HEX writer: a buffer as 16-byte data records, an extended address record at
// every 64 KiB boundary, and the end record.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>

#include "image/hex_writer.h"
#include "image/image.h"
#include "platform/files.h"

namespace quillon {

namespace {

constexpr int32_t recordBytes = 16;
constexpr int32_t blockBytes = 65536;

// One record's line, built with its checksum: ':' then two lower-case digits per byte.
class RecordLine {
  public:
    RecordLine() { text_[size_++] = ':'; }

    void add(uint8_t value) {
        constexpr std::string_view digits = "0123456789abcdef";
        text_[size_++] = digits[value >> 4];
        text_[size_++] = digits[value & 0x0F];
        sum_ = static_cast<uint8_t>(sum_ + value);
    }

    // Adds the checksum and the line end; the bytes of the whole line then add up to 0.
    void finish(std::FILE* file) {
        add(static_cast<uint8_t>(0x100 - sum_));
        text_[size_++] = '\n';
        std::fwrite(text_.data(), 1, size_, file);
    }

  private:
    // ':', count, offset, type, up to 16 data bytes and the checksum, two digits each, '\n'.
    std::array<char, 1 + 2 * (4 + recordBytes + 1) + 1> text_{};
    std::size_t size_ = 0;
    uint8_t sum_ = 0;
};

void printCantOpen(const std::string& name, int error) {
    std::printf("Can't open output file %s\n", name.c_str());
    std::printf("Reason: %s\n", platform::errorText(error).c_str());
}

void writeDataRecord(std::FILE* file, const MemoryImage& data, int32_t pos, int32_t count,
                     int32_t offset) {
    RecordLine line;
    line.add(static_cast<uint8_t>(count));
    line.add(static_cast<uint8_t>(offset >> 8));
    line.add(static_cast<uint8_t>(offset & 0xFF));
    line.add(0x00);
    for (int32_t i = 0; i < count; ++i) {
        line.add(data[static_cast<std::size_t>(pos) + static_cast<std::size_t>(i)]);
    }
    line.finish(file);
}

// Type 04 gives the block number itself, type 02 the segment at the block's start.
void writeAddressRecord(std::FILE* file, int32_t block, AddressRecordType type) {
    const bool linear = type == AddressRecordType::linear;
    const auto value = static_cast<uint16_t>(linear ? block : block * 4096);
    RecordLine line;
    line.add(0x02);
    line.add(0x00);
    line.add(0x00);
    line.add(linear ? 0x04 : 0x02);
    line.add(static_cast<uint8_t>(value >> 8));
    line.add(static_cast<uint8_t>(value & 0xFF));
    line.finish(file);
}

// Where an upload goes: the file at the end of the path's symbolic links, which must be a regular
// file this process may write or a new name. Prints why not and answers nothing otherwise.
std::optional<std::string> uploadTarget(const std::string& name) {
    const std::string target = platform::followLinks(name);
    const platform::PathInfo path = platform::inspectPath(target);
    switch (path.kind) {
    case platform::PathKind::missing:
        return target;
    case platform::PathKind::regular:
        if (path.writable) {
            return target;
        }
        printCantOpen(name, EACCES);
        return std::nullopt;
    case platform::PathKind::folder:
    case platform::PathKind::other:
        std::printf("ERROR - %s is not a regular file (a folder, a FIFO or a device): nothing "
                    "written, give the name of a file\n",
                    name.c_str());
        return std::nullopt;
    case platform::PathKind::unreachable:
        break;
    }
    printCantOpen(name, path.error);
    return std::nullopt;
}

void writeRecords(std::FILE* file, const MemoryImage& data, int32_t length,
                  AddressRecordType addressRecords) {
    const int32_t end = std::min(length, imageBufferBytes);
    int32_t block = 0;
    for (int32_t pos = 0; pos < end; pos += recordBytes) {
        // The record at offset fff0 is followed by the next block's address record, also
        // when it is the last one or a short one.
        const int32_t next = (pos + recordBytes) / blockBytes;
        writeDataRecord(file, data, pos, std::min(recordBytes, end - pos),
                        pos - block * blockBytes);
        if (next > block) {
            writeAddressRecord(file, next, addressRecords);
            block = next;
        }
    }
    std::fputs(":00000001FF\n", file);
}

} // namespace

int32_t writeHexFile(std::string_view path, const MemoryImage& data, int32_t length,
                     AddressRecordType addressRecords) {
    const std::string name(path);
    const std::optional<std::string> target = uploadTarget(name);
    if (!target) {
        return hexFileNotWritten;
    }
    // The upload goes to a new file beside the target, which replaces it only when complete:
    // a full disk, a failing device or a killed process leave the old file as it was.
    const platform::NewFile file = platform::createFileBeside(*target);
    if (file.file == nullptr) {
        printCantOpen(name, file.error);
        return hexFileNotWritten;
    }
    std::printf("Write Flash/EEPROM data to %s\n", name.c_str());
    writeRecords(file.file, data, length, addressRecords);
    const int writeError = std::ferror(file.file) != 0 ? errno : 0;
    const int finishError = platform::finishFile(file.file);
    int error = writeError != 0 ? writeError : finishError;
    if (error == 0) {
        error = platform::replaceFile(file.path, *target);
    }
    if (error != 0) {
        platform::removeFile(file.path);
        std::printf("ERROR - Can't write all of %s (%s): the file is left as it was, check the "
                    "free space and the path\n",
                    name.c_str(), platform::errorText(error).c_str());
        return hexFileNotWritten;
    }
    return hexFileWritten;
}

} // namespace quillon
