#include "web/ResponseDecoder.h"

#include "libs/EmbeddedImages.h"
#include "memload/CompactModule.h"

#include <windows.h>
#include <zlib.h>

#include <cstring>

// Every decode call uses a stream record of its own in the 32-bit layout of the zlib
// interface the carried image was built for.
static_assert(sizeof(z_stream) == 56, "the carried zlib expects a 56-byte stream record");

ResponseDecoder* TheResponseDecoder = nullptr;

namespace {

// The carried image's entries follow the standard calling convention.
using InflateInit2Routine = int(__stdcall*)(z_stream*, int windowBits, const char* version, int streamSize);
using InflateInitRoutine = int(__stdcall*)(z_stream*, const char* version, int streamSize);
using InflateRoutine = int(__stdcall*)(z_stream*, int flush);
using InflateEndRoutine = int(__stdcall*)(z_stream*);

constexpr char StreamVersion[] = "1.2.8";
constexpr int StreamSize = 56;
constexpr int AutomaticHeaderWindowBits = 47;  // 15 plus 32: a gzip or a zlib header, found by zlib
constexpr int RawDeflateWindowBits = -15;
constexpr SIZE_T GrowthStep = 65536;

enum class StreamForm { GzipOrZlib, ZlibOrRawDeflate };

// 0x78 then a byte that makes the pair a multiple of 31: the zlib header test.
bool HasZlibHeader(const Bytes& body) {
    return body.size() >= 2 && body[0] == 0x78 && (body[0] * 256 + body[1]) % 31 == 0;
}

// The heap buffer of one decode call.
class HeapBuffer {
public:
    HeapBuffer(HANDLE heap, SIZE_T size) : heap_(heap), data_(HeapAlloc(heap, 0, size)) {}
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;
    ~HeapBuffer() {
        if (data_ != nullptr) HeapFree(heap_, 0, data_);
    }
    std::uint8_t* Data() const { return static_cast<std::uint8_t*>(data_); }
    // Keeps the old buffer (still owned) when the heap cannot give more.
    bool Grow(SIZE_T size) {
        void* larger = HeapReAlloc(heap_, 0, data_, size);
        if (larger == nullptr) return false;
        data_ = larger;
        return true;
    }

private:
    HANDLE heap_;
    void* data_;
};

// Ends the stream whatever way the inflate loop is left.
class StreamEnd {
public:
    StreamEnd(InflateEndRoutine end, z_stream* stream) : end_(end), stream_(stream) {}
    StreamEnd(const StreamEnd&) = delete;
    StreamEnd& operator=(const StreamEnd&) = delete;
    ~StreamEnd() { end_(stream_); }

private:
    InflateEndRoutine end_;
    z_stream* stream_;
};

}  // namespace

void ResponseDecoder::Destroy() {
    FreeCompactModule(moduleBase);
    // Nothing may call into the released image any more.
    moduleBase = inflateInit2Entry = inflateInitEntry = inflateEntry = inflateEndEntry = 0;
    ready = 0;
}

ResponseDecoder* ResponseDecoder::Copy() const { return new ResponseDecoder(*this); }

bool ResponseDecoder::InitialiseDecoder() {
    moduleBase = LoadCompactModule(ZlibImage.data(), static_cast<std::uint32_t>(ZlibImage.size()), nullptr, 0);
    inflateEntry = GetCompactModuleEntry(moduleBase, 19);
    inflateEndEntry = GetCompactModuleEntry(moduleBase, 20);
    inflateInit2Entry = GetCompactModuleEntry(moduleBase, 21);
    inflateInitEntry = GetCompactModuleEntry(moduleBase, 22);
    ready = inflateEntry != 0 && inflateEndEntry != 0 && inflateInit2Entry != 0 && inflateInitEntry != 0;
    return ready != 0;
}

namespace {

Bytes Inflate(const ResponseDecoder& decoder, const Bytes& body, StreamForm form) {
    if (!decoder.ready || body.empty()) return {};
    const auto inflate = reinterpret_cast<InflateRoutine>(decoder.inflateEntry);
    const auto inflateEnd = reinterpret_cast<InflateEndRoutine>(decoder.inflateEndEntry);

    HeapBuffer buffer(GetProcessHeap(), GrowthStep);
    if (buffer.Data() == nullptr) return {};

    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (form == StreamForm::ZlibOrRawDeflate && HasZlibHeader(body)) {
        reinterpret_cast<InflateInitRoutine>(decoder.inflateInitEntry)(&stream, StreamVersion, StreamSize);
    } else {
        const int windowBits = form == StreamForm::GzipOrZlib ? AutomaticHeaderWindowBits : RawDeflateWindowBits;
        reinterpret_cast<InflateInit2Routine>(decoder.inflateInit2Entry)(&stream, windowBits, StreamVersion,
                                                                          StreamSize);
    }
    StreamEnd end(inflateEnd, &stream);

    // zlib does not write through next_in; its interface simply predates const.
    stream.next_in = const_cast<Bytef*>(body.data());
    stream.avail_in = static_cast<uInt>(body.size());
    SIZE_T produced = 0, room = GrowthStep, total = GrowthStep;
    for (;;) {
        stream.next_out = buffer.Data() + produced;
        stream.avail_out = static_cast<uInt>(room);
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) return {};
        const SIZE_T got = room - stream.avail_out;
        if (result == Z_STREAM_END) {
            produced += got;
            break;
        }
        if (got == room) {
            total += GrowthStep;
            room = GrowthStep;
            if (!buffer.Grow(total)) return {};
        } else {
            room -= got;
        }
        produced += got;
    }
    return Bytes(buffer.Data(), buffer.Data() + produced);
}

}  // namespace

Bytes ResponseDecoder::DecodeDeflate(const Bytes& body) const { return Inflate(*this, body, StreamForm::ZlibOrRawDeflate); }

Bytes ResponseDecoder::DecodeGzip(const Bytes& body) const { return Inflate(*this, body, StreamForm::GzipOrZlib); }
