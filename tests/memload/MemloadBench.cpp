// Benchmark, not a test: time per mapping of each carried image with each loader, and
// DecodeGzip throughput on the bodies named on the command line. Run by
// tools/bench_memload.sh, which prints the reference figures beside these.
#include "libs/EmbeddedImages.h"
#include "memload/CompactModule.h"
#include "memload/MemoryModule.h"
#include "memload/ModuleLoader.h"
#include "web/ResponseDecoder.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>

namespace {

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Best of `repeats` timings of `work`, in seconds.
double Best(int repeats, const std::function<void()>& work) {
    double best = 1e9;
    for (int i = 0; i < repeats; ++i) {
        const double start = Seconds();
        work();
        best = std::min(best, Seconds() - start);
    }
    return best;
}

void BenchMapping(const char* name, const EmbeddedImage& image) {
    constexpr int Maps = 200;
    const auto size = static_cast<std::uint32_t>(image.size());
    const double procedural = Best(3, [&] {
        for (int i = 0; i < Maps; ++i) VirtualFree(reinterpret_cast<void*>(LoadMemoryModule(image.Span())), 0, MEM_RELEASE);
    });
    const double object = Best(3, [&] {
        ModuleLoader loader;
        for (int i = 0; i < Maps; ++i) loader.Load(image.Span());
        loader.Unload();
    });
    const double compact = Best(3, [&] {
        for (int i = 0; i < Maps; ++i) FreeCompactModule(LoadCompactModule(image.data(), size));
    });
    std::printf("map %-13s %6u bytes: LoadMemoryModule %7.1f us, ModuleLoader::Load %7.1f us, "
                "LoadCompactModule+Free %7.1f us per map\n",
                name, size, procedural / Maps * 1e6, object / Maps * 1e6, compact / Maps * 1e6);
}

void BenchDecode(const char* path, const ResponseDecoder& decoder) {
    std::ifstream file(path, std::ios::binary);
    const Bytes body((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (body.empty()) {
        std::printf("decode %s: cannot read\n", path);
        return;
    }
    std::size_t produced = 0;
    const double decode = Best(5, [&] { produced = decoder.DecodeGzip(body).size(); });

    // The same inflate calls into one buffer of the final size: what the 65536-byte
    // growth steps cost on top.
    Bytes output(produced + 1);
    const double oneBuffer = Best(5, [&] {
        z_stream stream{};
        reinterpret_cast<int(__stdcall*)(z_stream*, int, const char*, int)>(decoder.inflateInit2Entry)(
            &stream, 47, "1.2.8", 56);
        stream.next_in = const_cast<Bytef*>(body.data());
        stream.avail_in = static_cast<uInt>(body.size());
        stream.next_out = output.data();
        stream.avail_out = static_cast<uInt>(output.size());
        reinterpret_cast<int(__stdcall*)(z_stream*, int)>(decoder.inflateEntry)(&stream, Z_NO_FLUSH);
        reinterpret_cast<int(__stdcall*)(z_stream*)>(decoder.inflateEndEntry)(&stream);
    });
    const double megabytes = static_cast<double>(produced) / 1e6;
    std::printf("decode %10zu -> %10zu bytes: DecodeGzip %8.1f ms (%6.1f MB/s); one preallocated buffer %8.1f ms "
                "(%6.1f MB/s); growth overhead x%.2f\n",
                body.size(), produced, decode * 1e3, megabytes / decode, oneBuffer * 1e3, megabytes / oneBuffer,
                decode / oneBuffer);
    std::printf("RESULT %zu %.6f\n", produced, decode);
}

}  // namespace

int main(int argc, char** argv) {
    BenchMapping("etcp.dll", TcpLibraryImage);
    BenchMapping("zlibwapi.dll", ZlibImage);
    ResponseDecoder decoder;
    if (!decoder.InitialiseDecoder()) {
        std::printf("the zlib image did not map\n");
        return 1;
    }
    for (int i = 1; i < argc; ++i) BenchDecode(argv[i], decoder);
    decoder.Destroy();
    return 0;
}
