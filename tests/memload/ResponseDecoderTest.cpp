// The response decoder over the carried zlib image: gzip, zlib and raw deflate bodies,
// the shared inflate loop and its growth steps, and every failure giving empty Bytes.
#include "TestImages.h"
#include "web/ResponseDecoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Fixtures are made with the test's own (statically linked) zlib.
Bytes Deflate(const Bytes& content, int windowBits) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes packed(deflateBound(&stream, content.size()) + 64);
    stream.next_in = const_cast<Bytef*>(content.data());
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = packed.data();
    stream.avail_out = static_cast<uInt>(packed.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
}
Bytes Gzip(const Bytes& content) { return Deflate(content, 15 + 16); }
Bytes Zlib(const Bytes& content) { return Deflate(content, 15); }
Bytes RawDeflate(const Bytes& content) { return Deflate(content, -15); }

Bytes Content(std::size_t size) {
    Bytes content(size);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245 + 12345;
        content[i] = static_cast<std::uint8_t>("<p>Quorvale post picture !weblarge</p>\n"[(state >> 16) % 38]);
    }
    return content;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ResponseDecoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        decoder = new ResponseDecoder;
        decoder->InitialiseDecoder();
    }
    static void TearDownTestSuite() {
        decoder->Destroy();
        delete decoder;
        decoder = nullptr;
    }
    static ResponseDecoder* decoder;
};
ResponseDecoder* ResponseDecoderTest::decoder = nullptr;

TEST_F(ResponseDecoderTest, InitialiseMapsTheZlibImageAndTakesFourEntries) {
    EXPECT_TRUE(decoder->ready);
    EXPECT_NE(decoder->moduleBase, 0u);
    for (std::uintptr_t entry : {decoder->inflateEntry, decoder->inflateEndEntry, decoder->inflateInit2Entry,
                                 decoder->inflateInitEntry}) {
        EXPECT_GT(entry, decoder->moduleBase);
    }
    EXPECT_TRUE(IsCommitted(decoder->moduleBase));
}

TEST_F(ResponseDecoderTest, DecodesEachFormThroughTheRightOperation) {
    const Bytes content = Content(3000);
    const Bytes html = TextToBytes("<!DOCTYPE html><html><body>plain page</body></html>");
    const Bytes large = Content(200000);
    Bytes truncated = Gzip(content);
    truncated.resize(truncated.size() / 2);
    Bytes corrupt = Zlib(content);
    corrupt[corrupt.size() - 1] ^= 0xFF;  // the Adler-32 check fails

    struct Case {
        const char* what;
        bool gzip;  // DecodeGzip, else DecodeDeflate
        Bytes body;
        Bytes expected;
    };
    const Case cases[] = {
        {"gzip body, DecodeGzip", true, Gzip(content), content},
        {"zlib body, DecodeGzip (window bits 47 take both)", true, Zlib(content), content},
        {"zlib body, DecodeDeflate", false, Zlib(content), content},
        {"raw deflate body, DecodeDeflate", false, RawDeflate(content), content},
        {"gzip body, DecodeDeflate", false, Gzip(content), {}},
        {"uncompressed page, DecodeGzip", true, html, {}},
        {"two gzip members: only the first", true, Concat(Gzip(content), Gzip(TextToBytes("second"))), content},
        {"200000 bytes, past three enlargements", true, Gzip(large), large},
        {"200000 bytes of raw deflate", false, RawDeflate(large), large},
        {"truncated gzip", true, truncated, {}},
        {"bad checksum", false, corrupt, {}},
        {"stream without data", true, Gzip({}), {}},
        {"empty body, DecodeGzip", true, {}, {}},
        {"empty body, DecodeDeflate", false, {}, {}},
        {"one byte", false, Bytes{0x78}, {}},
    };
    for (const Case& c : cases) {
        const Bytes before = c.body;
        const Bytes decoded = c.gzip ? decoder->DecodeGzip(c.body) : decoder->DecodeDeflate(c.body);
        EXPECT_EQ(decoded.size(), c.expected.size()) << c.what;
        EXPECT_TRUE(decoded == c.expected) << c.what;
        EXPECT_TRUE(c.body == before) << c.what << ": the body is left as it was";
    }
}

// Entries planted in a decoder to watch the calls it makes; they forward to the test's
// own zlib.
struct Trace {
    std::vector<std::string> calls;
    std::vector<std::pair<unsigned long, unsigned>> inflateRooms;  // (produced so far, avail_out)
};
Trace trace;

int __stdcall TraceInflateInit2(z_stream* stream, int windowBits, const char* version, int size) {
    trace.calls.push_back("init2 " + std::to_string(windowBits) + ' ' + version + ' ' + std::to_string(size));
    return inflateInit2_(stream, windowBits, ZLIB_VERSION, sizeof(z_stream));
}
int __stdcall TraceInflateInit(z_stream* stream, const char* version, int size) {
    trace.calls.push_back(std::string("init ") + version + ' ' + std::to_string(size));
    return inflateInit_(stream, ZLIB_VERSION, sizeof(z_stream));
}
int __stdcall TraceInflate(z_stream* stream, int flush) {
    trace.inflateRooms.emplace_back(stream->total_out, stream->avail_out);
    if (flush != Z_NO_FLUSH) trace.calls.push_back("unexpected flush");
    return inflate(stream, flush);
}
int __stdcall TraceInflateEnd(z_stream* stream) {
    trace.calls.push_back("end");
    return inflateEnd(stream);
}

ResponseDecoder TracingDecoder(bool ready) {
    ResponseDecoder decoder;
    decoder.inflateInit2Entry = reinterpret_cast<std::uintptr_t>(&TraceInflateInit2);
    decoder.inflateInitEntry = reinterpret_cast<std::uintptr_t>(&TraceInflateInit);
    decoder.inflateEntry = reinterpret_cast<std::uintptr_t>(&TraceInflate);
    decoder.inflateEndEntry = reinterpret_cast<std::uintptr_t>(&TraceInflateEnd);
    decoder.ready = ready;
    return decoder;
}

TEST(ResponseDecoderCallsTest, InitialisationFollowsTheOperationAndTheHeader) {
    const ResponseDecoder decoder = TracingDecoder(true);
    const Bytes content = Content(100);
    struct Case {
        const char* what;
        bool gzip;
        Bytes body;
        const char* initialisation;
    };
    const Case cases[] = {
        {"gzip", true, Gzip(content), "init2 47 1.2.8 56"},
        {"deflate with a zlib header", false, Zlib(content), "init 1.2.8 56"},
        {"deflate without one", false, RawDeflate(content), "init2 -15 1.2.8 56"},
        // 0x78 0x01: a valid zlib header whatever follows, so taken for zlib.
        {"raw data that happens to start like zlib", false, Bytes{0x78, 0x01, 0x00}, "init 1.2.8 56"},
        {"0x78 without a valid check byte", false, Bytes{0x78, 0x02, 0x00}, "init2 -15 1.2.8 56"},
    };
    for (const Case& c : cases) {
        trace = {};
        c.gzip ? decoder.DecodeGzip(c.body) : decoder.DecodeDeflate(c.body);
        ASSERT_FALSE(trace.calls.empty()) << c.what;
        EXPECT_EQ(trace.calls.front(), c.initialisation) << c.what;
        EXPECT_EQ(trace.calls.back(), "end") << c.what << ": the stream is always ended";
        EXPECT_EQ(trace.calls.size(), 2u) << c.what;
    }
}

TEST(ResponseDecoderCallsTest, OutputGrowsInSteps65536Bytes) {
    const ResponseDecoder decoder = TracingDecoder(true);
    const Bytes large = Content(200000);
    trace = {};
    EXPECT_TRUE(decoder.DecodeGzip(Gzip(large)) == large);
    const std::vector<std::pair<unsigned long, unsigned>> expected = {
        {0, 65536}, {65536, 65536}, {131072, 65536}, {196608, 65536}};
    EXPECT_EQ(trace.inflateRooms, expected);
}

TEST(ResponseDecoderCallsTest, NotReadyCallsNothing) {
    const ResponseDecoder decoder = TracingDecoder(false);
    trace = {};
    EXPECT_TRUE(decoder.DecodeGzip(Gzip(Content(100))).empty());
    EXPECT_TRUE(decoder.DecodeDeflate(Zlib(Content(100))).empty());
    EXPECT_TRUE(trace.calls.empty());
    EXPECT_TRUE(trace.inflateRooms.empty());
}

TEST(ResponseDecoderCallsTest, EmptyBodyCallsNothing) {
    const ResponseDecoder decoder = TracingDecoder(true);
    trace = {};
    EXPECT_TRUE(decoder.DecodeGzip({}).empty());
    EXPECT_TRUE(trace.calls.empty());
}

TEST(ResponseDecoderLifetimeTest, DestroyReleasesTheImageAndCopiesShareIt) {
    ResponseDecoder decoder;
    EXPECT_FALSE(decoder.DecodeGzip(Gzip(Content(10))).size()) << "not ready before initialisation";
    ASSERT_TRUE(decoder.InitialiseDecoder());
    const std::uintptr_t base = decoder.moduleBase;
    std::unique_ptr<ResponseDecoder> copy(decoder.Copy());
    EXPECT_EQ(copy->moduleBase, base);
    EXPECT_EQ(copy->inflateEntry, decoder.inflateEntry);
    EXPECT_EQ(copy->ready, decoder.ready);
    EXPECT_TRUE(copy->DecodeGzip(Gzip(Content(10))) == Content(10));
    decoder.Destroy();
    EXPECT_TRUE(IsReleased(base));
    EXPECT_FALSE(decoder.ready);
}

}  // namespace
