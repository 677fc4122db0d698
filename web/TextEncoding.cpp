#include "web/TextEncoding.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <vector>

namespace {

constexpr UINT GbkCodePage = 936;

}  // namespace

Text Utf8ToGbkText(const Bytes& body) {
    // The converters count in int; a body beyond that is no text this program reads.
    if (body.empty() || body.size() > static_cast<size_t>(INT_MAX)) return {};
    const char* input = reinterpret_cast<const char*>(body.data());
    const int inputSize = static_cast<int>(body.size());

    const int units = MultiByteToWideChar(CP_UTF8, 0, input, inputSize, nullptr, 0);
    if (units <= 0) return {};
    std::vector<wchar_t> wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, input, inputSize, wide.data(), units);

    const int size = WideCharToMultiByte(GbkCodePage, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::vector<char> gbk(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(GbkCodePage, 0, wide.data(), units, gbk.data(), size, nullptr, nullptr);

    const void* zero = std::memchr(gbk.data(), 0, gbk.size());
    const size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - gbk.data()) : gbk.size();
    return Text(gbk.data(), length);
}
