#include "app/runtime/Text.h"

#include <gtest/gtest.h>

namespace {

// "中文" in GBK is D6 D0 CE C4; its second and third bytes spell "\xD0\xCE", which a
// byte-wise search would wrongly find inside the two characters.
const Text kChinese = "\xD6\xD0\xCE\xC4";

TEST(FindText, FindsByOneBasedPositionWithStartAndCaseRules) {
    struct Case {
        Text text, sought;
        int start;
        bool caseInsensitive;
        int expected;
    } cases[] = {
        {"abcabc", "bc", 1, false, 2},
        {"abcabc", "bc", 3, false, 5},
        {"abcabc", "bc", 0, false, 2},     // below 1 counts as 1
        {"abcabc", "bc", -7, false, 2},
        {"abcabc", "bc", 7, false, -1},    // past the end finds nothing
        {"abcabc", "BC", 1, false, -1},
        {"abcabc", "BC", 1, true, 2},
        {"abc", "", 1, false, -1},
        {"", "a", 1, false, -1},
        {kChinese, "\xD0\xCE", 1, false, -1},  // never inside a two-byte character
        {kChinese + "x", "x", 1, false, 5},
        {kChinese, "\xCE\xC4", 1, false, 3},
        {"\xC4\xE3" "A", "a", 1, true, 3},     // folding touches ASCII only
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindText(c.text, c.sought, c.start, c.caseInsensitive), c.expected)
            << "text '" << c.text << "' sought '" << c.sought << "' start " << c.start;
    }
}

TEST(FindText, LastOccurrenceSearchesFromTheEnd) {
    EXPECT_EQ(FindTextLast("a:b:c", ":"), 4);
    EXPECT_EQ(FindTextLast("a:b:c", ":", 3), 2);
    EXPECT_EQ(FindTextLast("abc", "x"), -1);
    EXPECT_EQ(FindTextLast(kChinese + kChinese, "\xD0\xCE"), -1);
    EXPECT_EQ(FindTextLast("AbAb", "ab", -1, true), 3);
}

TEST(TextCase, ChangesAsciiLettersOnlyAndKeepsTwoByteCharactersWhole) {
    // B0 41 is a two-byte character whose trail byte happens to be 'A'.
    const Text mixed = "aZ\xB0\x41z";
    EXPECT_EQ(ToUpperText(mixed), "AZ\xB0\x41Z");
    EXPECT_EQ(ToLowerText(mixed), "az\xB0\x41z");
}

TEST(TextTrim, RemovesSpacesAndFullWidthSpacesAtBothEndsOnly) {
    struct Case {
        Text text, trimmed, spaceless;
    } cases[] = {
        {"  a b  ", "a b", "ab"},
        {"\xA1\xA1 a\xA1\xA1" "b \xA1\xA1", "a\xA1\xA1" "b", "ab"},
        {"\ta\r\n", "\ta\r\n", "\ta\r\n"},
        {"   ", "", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrimText(c.text), c.trimmed) << "'" << c.text << "'";
        EXPECT_EQ(RemoveSpaces(c.text), c.spaceless) << "'" << c.text << "'";
    }
}

TEST(TextParts, LeftRightMiddleClampToTheText) {
    EXPECT_EQ(TextLeft("abcdef", 2), "ab");
    EXPECT_EQ(TextLeft("ab", 5), "ab");
    EXPECT_EQ(TextLeft("ab", -1), "");
    EXPECT_EQ(TextRight("abcdef", 2), "ef");
    EXPECT_EQ(TextRight("ab", 9), "ab");
    EXPECT_EQ(TextMiddle("abcdef", 2, 3), "bcd");
    EXPECT_EQ(TextMiddle("abcdef", 5), "ef");
    EXPECT_EQ(TextMiddle("abcdef", 9, 2), "");
}

TEST(TextReplace, ReplacesEveryOccurrenceWithoutRescanningTheReplacement) {
    EXPECT_EQ(ReplaceText("a.b.c", ".", "\\."), "a\\.b\\.c");
    EXPECT_EQ(ReplaceText("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceText("Set-COOKIE set-cookie", "set-cookie", "Set-Cookie", true),
              "Set-Cookie Set-Cookie");
    EXPECT_EQ(ReplaceText("Aa", "a", "b"), "Ab");
    EXPECT_EQ(ReplaceText(kChinese, "\xD0\xCE", "x"), kChinese);
}

TEST(TextNumbers, ConvertBothWays) {
    struct Case {
        Text text;
        int number;
    } cases[] = {{"8443", 8443}, {"abc", 0}, {"", 0}, {"12ab", 12}, {"-5", -5}, {" 6", 6},
                 {"06", 6}, {"4294967295", -1}};
    for (const Case& c : cases) EXPECT_EQ(TextToNumber(c.text), c.number) << "'" << c.text << "'";
    EXPECT_EQ(NumberToText(12), "12");
    EXPECT_EQ(NumberToText(-3), "-3");
}

TEST(TextConversion, GbkAndWideRoundTripWhateverTheAnsiCodePage) {
    const Text gbk = "发现图片12";  // stored as GBK by the compiler
    EXPECT_EQ(gbk.size(), 10u);
    EXPECT_EQ(GbkToWide(gbk), L"\u53D1\u73B0\u56FE\u724712");
    EXPECT_EQ(WideToGbk(GbkToWide(gbk)), gbk);
    EXPECT_EQ(GbkToWide(""), L"");
}

}  // namespace
