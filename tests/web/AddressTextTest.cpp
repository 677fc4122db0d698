#include "web/AddressText.h"

#include <gtest/gtest.h>

namespace {

TEST(AddressText, TakesAddressesApart) {
    struct Case {
        const char* address;
        const char* host;
        const char* hostWithPort;
        int port;
        const char* path;
    };
    const Case cases[] = {
        {"http://a.test", "a.test", "a.test", 80, "/"},
        {"https://A.Test:8443/X/y?q=1#f", "a.test", "a.test:8443", 8443, "/X/y?q=1#f"},
        {"a.test/p", "a.test", "a.test", 80, "/p"},
        // A query straight after the host is not part of the path.
        {"http://a.test?x=1", "a.test?x=1", "a.test?x=1", 80, "/"},
        {"http://a.test:abc/", "a.test", "a.test:abc", 0, "/"},
        // No scheme of its own, but "http://" inside: the host is read from there.
        {"a.test/?u=http://b.test/x", "b.test", "b.test", 80, "/x"},
        // User information is not recognised: the host read is the user name.
        {"http://user:pw@a.test/p", "user", "user:pw@a.test", 0, "/p"},
        {"HTTPS://A.TEST/", "a.test", "a.test", 443, "/"},
        // What an upper-case scheme becomes once "http://" is put in front of it.
        {"http://HTTP://A.TEST/", "http", "http:", 0, "//HTTP://A.TEST/"},
        {"https://a.test:8080", "a.test", "a.test:8080", 8080, "/"},
        {"http://localhost:1234/a/b", "localhost", "localhost:1234", 1234, "/a/b"},
        {"", "", "", 80, "/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(HostOfAddress(c.address), c.host);
        EXPECT_EQ(HostOfAddress(c.address, true), c.hostWithPort);
        EXPECT_EQ(PortOfAddress(c.address), c.port);
        EXPECT_EQ(PathOfAddress(c.address), c.path);
    }
}

TEST(AddressText, TextBetweenFindsTheBytesBetweenMarkers) {
    struct Case {
        const char* text;
        const char* left;
        const char* right;
        int start;
        bool caseInsensitive;
        const char* expected;
    };
    const Case cases[] = {
        {"k=\"v\"", "k=#引号", "#引号", 1, false, "v"},
        {"a[b]c", "[", "]", 1, false, "b"},
        {"a[]c", "[", "]", 1, false, ""},
        {"abc", "[", "]", 1, false, ""},   // left marker missing
        {"a[bc", "[", "]", 1, false, ""},  // right marker does not follow
        {"x]a[b", "[", "]", 1, false, ""},  // the right marker before the left one does not count
        {"[1][2]", "[", "]", 2, false, "2"},
        {"[1][2]", "[", "]", -5, false, "1"},
        {"User-Agent: X\r\n", "user-agent:", "\r\n", 1, false, ""},
        {"User-Agent: X\r\n", "user-agent:", "\r\n", 1, true, " X"},
        // The marker "[" must not be found inside the two-byte character D5 5B.
        {"\xD5[x]", "[", "]", 1, false, ""},
        {"\xD5[x][y]", "[", "]", 1, false, "y"},
        {"名称=值;", "名称=", ";", 1, false, "值"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.caseInsensitive), c.expected);
    }
}

TEST(AddressText, TextBeforeAndValueAfterColon) {
    EXPECT_EQ(TextBefore("Set-Cookie: a=1", ": "), "Set-Cookie");
    EXPECT_EQ(TextBefore("Set-Cookie:a=1", ": "), "");
    EXPECT_EQ(TextBefore(": a", ": "), "");
    EXPECT_EQ(TextBefore("a:b:c", ":", 3), "a:b");
    EXPECT_EQ(TextBefore("abXc", "x", 1, true), "ab");
    EXPECT_EQ(TextBefore("abXc", "x"), "");

    EXPECT_EQ(ValueAfterColon("User-Agent:  X/1 "), "X/1");
    EXPECT_EQ(ValueAfterColon("no colon"), "");
    EXPECT_EQ(ValueAfterColon("a: b: c"), "b: c");
    EXPECT_EQ(ValueAfterColon("a:\xA1\xA1值\xA1\xA1"), "值");
}

TEST(AddressText, CapitaliseFirstRaisesOnlyAnAsciiFirstLetter) {
    EXPECT_EQ(CapitaliseFirst("accept"), "Accept");
    EXPECT_EQ(CapitaliseFirst("Accept"), "Accept");
    EXPECT_EQ(CapitaliseFirst("1a"), "1a");
    EXPECT_EQ(CapitaliseFirst("值a"), "值a");
    EXPECT_EQ(CapitaliseFirst(""), "");
}

TEST(AddressText, NormaliseHeaderNames) {
    struct Case {
        const char* headers;
        const char* expected;
    };
    const Case cases[] = {
        {"accept: */*\r\nx-requested-with: abc\r\nnocolon", "Accept: */*\r\nX-Requested-With: abc"},
        {"", ""},
        {"nocolon\r\nnone either", ""},
        {"content-TYPE: a", "Content-TYPE: a"},  // only first letters are raised
        {"a:b:c", "A:b:c"},                       // the value stays as it is
        {"x-:1\r\n-y:2\r\na--b:3", "X-:1\r\n-Y:2\r\nA--B:3"},
        {"accept: 1\r\n\r\nreferer: 2\r\n", "Accept: 1\r\nReferer: 2"},
        {"user-agent:  spaced value ", "User-Agent:  spaced value "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers);
        EXPECT_EQ(NormaliseHeaderNames(c.headers), c.expected);
    }
}

}  // namespace
