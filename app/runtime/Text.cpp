#include "app/runtime/Text.h"

#include <windows.h>

namespace {

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool MatchesAt(TextView text, size_t at, TextView sought, bool caseInsensitive) {
    if (at + sought.size() > text.size()) return false;
    for (size_t i = 0; i < sought.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(text[at + i]);
        unsigned char b = static_cast<unsigned char>(sought[i]);
        if (caseInsensitive ? FoldAscii(a) != FoldAscii(b) : a != b) return false;
    }
    return true;
}

// Width of the character that begins at `at`: two bytes for a lead byte that has a
// trail byte after it, one otherwise.
size_t CharWidth(TextView text, size_t at) {
    return (IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) ? 2 : 1;
}

bool IsSpaceAt(TextView text, size_t at, size_t& width) {
    if (text[at] == ' ') { width = 1; return true; }
    if (at + 1 < text.size() && static_cast<unsigned char>(text[at]) == 0xA1 &&
        static_cast<unsigned char>(text[at + 1]) == 0xA1) {
        width = 2;
        return true;
    }
    return false;
}

Text MapAscii(TextView text, bool upper) {
    Text result(text);
    for (size_t i = 0; i < result.size();) {
        unsigned char c = static_cast<unsigned char>(result[i]);
        size_t width = CharWidth(result, i);
        if (width == 1) {
            if (upper && c >= 'a' && c <= 'z') result[i] = static_cast<char>(c - 'a' + 'A');
            if (!upper && c >= 'A' && c <= 'Z') result[i] = static_cast<char>(c - 'A' + 'a');
        }
        i += width;
    }
    return result;
}

}  // namespace

int FindText(TextView text, TextView sought, int start, bool caseInsensitive) {
    if (sought.empty()) return -1;
    if (start < 1) start = 1;
    size_t at = static_cast<size_t>(start) - 1;
    while (at < text.size()) {
        if (MatchesAt(text, at, sought, caseInsensitive)) return static_cast<int>(at) + 1;
        at += CharWidth(text, at);
    }
    return -1;
}

int FindTextLast(TextView text, TextView sought, int start, bool caseInsensitive) {
    if (sought.empty()) return -1;
    size_t limit = (start < 1 || static_cast<size_t>(start) > text.size()) ? text.size()
                                                                          : static_cast<size_t>(start);
    int found = -1;
    for (size_t at = 0; at < text.size() && at < limit; at += CharWidth(text, at)) {
        if (MatchesAt(text, at, sought, caseInsensitive)) found = static_cast<int>(at) + 1;
    }
    return found;
}

Text TextLeft(TextView text, int count) {
    if (count <= 0) return {};
    return Text(text.substr(0, static_cast<size_t>(count)));
}

Text TextRight(TextView text, int count) {
    if (count <= 0) return {};
    size_t n = static_cast<size_t>(count);
    if (n >= text.size()) return Text(text);
    return Text(text.substr(text.size() - n));
}

Text TextMiddle(TextView text, int start, int count) {
    if (start < 1) start = 1;
    size_t from = static_cast<size_t>(start) - 1;
    if (from >= text.size()) return {};
    if (count < 0) return Text(text.substr(from));
    return Text(text.substr(from, static_cast<size_t>(count)));
}

Text ToUpperText(TextView text) { return MapAscii(text, true); }
Text ToLowerText(TextView text) { return MapAscii(text, false); }

Text TrimText(TextView text) {
    size_t begin = 0;
    size_t width = 0;
    while (begin < text.size() && IsSpaceAt(text, begin, width)) begin += width;
    size_t end = text.size();
    while (end > begin) {
        if (text[end - 1] == ' ') { --end; continue; }
        if (end - begin >= 2 && static_cast<unsigned char>(text[end - 1]) == 0xA1 &&
            static_cast<unsigned char>(text[end - 2]) == 0xA1) {
            end -= 2;
            continue;
        }
        break;
    }
    return Text(text.substr(begin, end - begin));
}

Text RemoveSpaces(TextView text) {
    Text result;
    result.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        size_t width = 0;
        if (IsSpaceAt(text, at, width)) {
            at += width;
            continue;
        }
        width = CharWidth(text, at);
        result.append(text.substr(at, width));
        at += width;
    }
    return result;
}

Text ReplaceText(TextView text, TextView from, TextView to, bool caseInsensitive) {
    if (from.empty()) return Text(text);
    Text result;
    result.reserve(text.size());
    size_t copied = 0;
    int found = FindText(text, from, 1, caseInsensitive);
    while (found != -1) {
        size_t at = static_cast<size_t>(found) - 1;
        result.append(text.substr(copied, at - copied));
        result.append(to);
        copied = at + from.size();
        found = FindText(text, from, static_cast<int>(copied) + 1, caseInsensitive);
    }
    result.append(text.substr(copied));
    return result;
}

bool TextEqualsIgnoringCase(TextView a, TextView b) {
    return a.size() == b.size() && MatchesAt(a, 0, b, true);
}

Text NumberToText(long long value) { return std::to_string(value); }

int TextToNumber(TextView text) {
    size_t at = 0;
    while (at < text.size() && text[at] == ' ') ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    std::uint32_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10u + static_cast<std::uint32_t>(text[at] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

Text BytesToText(const Bytes& bytes) { return Text(bytes.begin(), bytes.end()); }
Bytes TextToBytes(TextView text) { return Bytes(text.begin(), text.end()); }

std::wstring GbkToWide(TextView text) {
    if (text.empty()) return {};
    int units = MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0) {
        MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    }
    return wide;
}

Text WideToGbk(std::wstring_view text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    Text result(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                            nullptr, nullptr);
    }
    return result;
}
