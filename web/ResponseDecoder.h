#pragma once
// Expands gzip, zlib and raw deflate response bodies with the zlib library image that
// the program carries and maps from memory with the compact loader.

#include "app/runtime/Text.h"

#include <cstdint>

class ResponseDecoder {
public:
    ResponseDecoder() = default;
    ResponseDecoder(const ResponseDecoder&) = default;
    ResponseDecoder& operator=(const ResponseDecoder&) = delete;

    // The table of operations, in slot order.
    virtual void Destroy();                        // unmaps the image; the owner then deletes the object
    virtual ResponseDecoder* Copy() const;         // a new object sharing the mapped image
    virtual bool InitialiseDecoder();              // maps the image, takes the four entries; returns ready
    virtual Bytes DecodeDeflate(const Bytes& body) const;  // zlib or raw deflate; empty on failure
    virtual Bytes DecodeGzip(const Bytes& body) const;     // gzip or zlib; empty on failure

    virtual ~ResponseDecoder() = default;

    std::uintptr_t inflateInit2Entry = 0;
    std::uintptr_t inflateInitEntry = 0;
    std::uintptr_t inflateEntry = 0;
    std::uintptr_t inflateEndEntry = 0;
    std::uintptr_t moduleBase = 0;
    std::int32_t ready = 0;
};

// The process-wide decoder: created and initialised while the program creates its
// globals, destroyed last when it exits. Null outside that time.
extern ResponseDecoder* TheResponseDecoder;
