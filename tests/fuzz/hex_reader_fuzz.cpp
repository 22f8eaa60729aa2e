// SPDX-License-Identifier: MIT
// The Intel HEX reader fed arbitrary bytes (the first one is the fill byte), under the
// sanitizers, through the stream the program reads a download file from. Whatever the text, the
// reader keeps to the image: a loaded file's length lies within ImageBuffer and everything from
// it on holds the fill byte; a refused record is refused for an address outside the image or for
// a damage it names on a line the text has; the read-back buffer beside it is never touched; and
// the in-memory reader gives the same verdict and image. Only what an input can change is
// compared: the image below the load length, and the rest by one pass for the fill byte.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "commands/state.h"
#include "image/hex_reader.h"
#include "image/image.h"

namespace q = quillon;

namespace {

// The ends of ReadBackBuffer, where a write running past ImageBuffer would land first (the
// sanitizer's red zones catch the rest).
constexpr std::size_t guardBytes = 4096;

uint8_t guardByte(std::size_t i) {
    return static_cast<uint8_t>(i * 7 + 3);
}

void check(bool good, const char* what) {
    if (!good) {
        std::fprintf(stderr, "hex_reader_fuzz: %s\n", what);
        std::abort();
    }
}

bool guardsIntact() {
    for (std::size_t i = 0; i < guardBytes; ++i) {
        if (q::Process.buffers.readBack[i] != guardByte(i) ||
            q::Process.buffers.readBack[q::Process.buffers.readBack.size() - 1 - i] !=
                guardByte(i)) {
            return false;
        }
    }
    return true;
}

// True when every byte of ImageBuffer from `from` on is `fill`: each byte equals the next, and
// the first of them is the fill byte.
bool fillFrom(std::size_t from, uint8_t fill) {
    const std::size_t n = q::Process.buffers.image.size() - from;
    const uint8_t* bytes = q::Process.buffers.image.data() + from;
    return n == 0 || (bytes[0] == fill && std::memcmp(bytes, bytes + 1, n - 1) == 0);
}

// The image below the load length, folded into one number.
uint64_t imageHash(int32_t length) {
    uint64_t hash = 1469598103934665603ULL;
    for (int32_t i = 0; i < length; ++i) {
        hash = (hash ^ q::Process.buffers.image[static_cast<std::size_t>(i)]) * 1099511628211ULL;
    }
    return hash;
}

bool sameVerdict(const q::HexLoad& a, const q::HexLoad& b) {
    return a.status == b.status && a.loadLength == b.loadLength &&
           a.outsideAddress == b.outsideAddress && a.fault == b.fault && a.line == b.line &&
           a.character == b.character && a.checksumGiven == b.checksumGiven &&
           a.checksumNeeded == b.checksumNeeded;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (std::size_t i = 0; i < guardBytes; ++i) {
        q::Process.buffers.readBack[i] = guardByte(i);
        q::Process.buffers.readBack[q::Process.buffers.readBack.size() - 1 - i] = guardByte(i);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0; // fmemopen needs a byte of text
    }
    const uint8_t fill = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    // The program's reader: a stream, read a block at a time.
    std::FILE* stream = fmemopen(const_cast<uint8_t*>(data + 1), size - 1, "r");
    check(stream != nullptr, "fmemopen failed");
    const q::HexLoad load = q::readHexStream(stream, fill, q::Process.buffers.image);
    std::fclose(stream);

    check(guardsIntact(), "the reader wrote into ReadBackBuffer");
    switch (load.status) {
    case q::HexLoadStatus::loaded:
        check(load.loadLength > 0 && load.loadLength <= q::imageBufferBytes,
              "the load length lies outside the image");
        check(fillFrom(static_cast<std::size_t>(load.loadLength), fill),
              "a byte past the load length is not the fill byte");
        break;
    case q::HexLoadStatus::outsideImage:
        check(load.outsideAddress >= q::imageBufferBytes,
              "a record was refused for an address inside the image");
        break;
    case q::HexLoadStatus::malformed:
        check(load.fault != q::HexFault::none && load.line >= 1 &&
                  load.line <= std::count(text.begin(), text.end(), '\n') + 1,
              "a damaged record without a damage or on a line the text doesn't have");
        break;
    case q::HexLoadStatus::binary:
        check(text.find('\0') != std::string_view::npos, "a text without NUL called binary");
        break;
    case q::HexLoadStatus::noData:
        check(fillFrom(0, fill), "a file without data changed the image");
        break;
    case q::HexLoadStatus::unreadable:
        check(false, "an in-memory stream can't fail");
        break;
    }
    const uint64_t hash = imageHash(load.loadLength);

    const q::HexLoad again = q::readHexText(text, fill, q::Process.buffers.image);
    check(sameVerdict(load, again) && imageHash(again.loadLength) == hash,
          "the in-memory reader differs from the stream reader");
    check(load.status != q::HexLoadStatus::loaded ||
              fillFrom(static_cast<std::size_t>(load.loadLength), fill),
          "the in-memory reader wrote past the load length");
    return 0;
}
