#include "web/TextEncoding.h"

#include <gtest/gtest.h>

namespace {

Bytes Of(std::string_view bytes) { return Bytes(bytes.begin(), bytes.end()); }

TEST(TextEncoding, Utf8ToGbkText) {
    struct Case {
        const char* description;
        std::string_view utf8;
        std::string_view gbk;
    };
    const Case cases[] = {
        {"Chinese text", "\xE5\x9B\xBE\xE7\x89\x87 ok", "\xCD\xBC\xC6\xAC ok"},  // 图片
        {"plain ASCII", "<img src=\"a.jpg\">", "<img src=\"a.jpg\">"},
        {"empty body", "", ""},
        {"stops at a zero byte", std::string_view("ab\0cd", 5), "ab"},
        {"zero byte first", std::string_view("\0ab", 3), ""},
        // The byte-order mark is a character like any other; code page 936 has no
        // spelling for it, so it comes out as the converter's replacement.
        {"byte-order mark kept", "\xEF\xBB\xBF" "a", "?a"},
        {"character outside GBK", "\xF0\x9F\x98\x80" "a", "??a"},  // one emoji, two UTF-16 units
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(Utf8ToGbkText(Of(c.utf8)), c.gbk);
    }
}

TEST(TextEncoding, GbkBodyIsReadAsUtf8AndComesOutChanged) {
    const Text gbk = "\xCD\xBC\xC6\xAC";  // 图片 in GBK is no valid UTF-8
    const Text converted = Utf8ToGbkText(Of(gbk));
    EXPECT_FALSE(converted.empty());
    EXPECT_NE(converted, gbk);
}

TEST(TextEncoding, LargeBodyConvertsWhole) {
    std::string utf8;
    for (int i = 0; i < 100000; ++i) utf8 += "\xE5\x9B\xBE";
    const Text gbk = Utf8ToGbkText(Of(utf8));
    ASSERT_EQ(gbk.size(), 200000u);
    EXPECT_EQ(gbk.substr(199998), "\xCD\xBC");
}

}  // namespace
