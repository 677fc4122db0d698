// Fetches one address with WebRequest and prints the body size and the time taken.
//   web_bench.exe <address> [repeats]

#include "web/WebRequest.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: web_bench <address> [repeats]\n");
        return 2;
    }
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 1;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double best = 1e30;
    size_t size = 0;
    for (int i = 0; i < repeats; ++i) {
        Text address = argv[1];
        Text cookies;
        QueryPerformanceCounter(&start);
        const Bytes body = WebRequest(address, 0, Text{}, &cookies);
        QueryPerformanceCounter(&end);
        size = body.size();
        const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        if (seconds < best) best = seconds;
    }
    std::printf("%zu %.4f\n", size, best);
    return size > 0 ? 0 : 1;
}
