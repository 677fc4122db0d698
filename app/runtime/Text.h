#pragma once
// Text: the program's own text, GBK (code page 936) bytes. A character is one byte
// (ASCII) or two bytes (lead byte 0x80 or above). Positions are 1-based byte
// positions; searches answer -1 when they find nothing. An empty Text and an absent
// Text are the same value.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using Text = std::string;
using TextView = std::string_view;

// Bytes: a counted byte buffer.
using Bytes = std::vector<std::uint8_t>;

inline bool IsLeadByte(unsigned char byte) { return byte >= 0x80; }

// Position of the first occurrence of `sought` at or after `start` (values below 1
// count as 1), stepping over two-byte characters so that a match never begins on the
// second byte of one. Case-insensitive searches fold ASCII letters only.
int FindText(TextView text, TextView sought, int start = 1, bool caseInsensitive = false);

// Position of the last occurrence of `sought` that begins at or before `start`
// (-1 or anything past the end means the whole text).
int FindTextLast(TextView text, TextView sought, int start = -1, bool caseInsensitive = false);

Text TextLeft(TextView text, int count);
Text TextRight(TextView text, int count);
// `count` bytes from the 1-based `start`; a negative count means to the end.
Text TextMiddle(TextView text, int start, int count = -1);

// Case changes touch ASCII letters only; two-byte characters are left whole.
Text ToUpperText(TextView text);
Text ToLowerText(TextView text);

// Removes the space (0x20) and the full-width space (A1 A1) at both ends.
Text TrimText(TextView text);
// Removes every space and full-width space anywhere in the text.
Text RemoveSpaces(TextView text);

// Replaces every occurrence of `from` by `to`, searching from left to right.
Text ReplaceText(TextView text, TextView from, TextView to, bool caseInsensitive = false);

bool TextEqualsIgnoringCase(TextView a, TextView b);

// Decimal text of a number.
Text NumberToText(long long value);
// Leading decimal digits of a text (an optional sign first, leading spaces skipped);
// 0 when the text does not begin with a number.
int TextToNumber(TextView text);

Text BytesToText(const Bytes& bytes);
Bytes TextToBytes(TextView text);

// Conversions at the boundary with the wide Win32 calls: always code page 936,
// whatever the system's ANSI code page is.
std::wstring GbkToWide(TextView text);
Text WideToGbk(std::wstring_view text);
