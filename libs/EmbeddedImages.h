#pragma once
// The library images the program carries in its constant data. Each is stored as a
// 32-bit 1, the 32-bit length, then the bytes of the complete DLL file; the view below
// reads it like constant Bytes.

#include "app/runtime/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

struct EmbeddedImage {
    const unsigned char* stored;

    const std::uint8_t* data() const { return stored + 8; }
    std::size_t size() const {
        std::uint32_t length;
        std::memcpy(&length, stored + 4, sizeof length);
        return length;
    }
    std::span<const std::uint8_t> Span() const { return {data(), size()}; }
    Bytes ToBytes() const { return Bytes(data(), data() + size()); }
};

// etcp.dll: the TCP helper library (exports 1 to 13 by ordinal).
extern const EmbeddedImage TcpLibraryImage;
// zlibwapi.dll: zlib with standard-call entries (inflate 19, inflateEnd 20,
// inflateInit2_ 21, inflateInit_ 22).
extern const EmbeddedImage ZlibImage;
