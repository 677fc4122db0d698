#include "web/RequestText.h"

#include "web/WebRequest.h"

#include <gtest/gtest.h>

namespace {

TEST(RequestText, UserAgentFor) {
    struct Case {
        const char* headers;
        const char* agent;
    };
    const Case cases[] = {
        {"", DefaultUserAgent},
        {"Accept: */*", DefaultUserAgent},
        {"User-Agent: X/1", "X/1"},
        {"Accept: */*\r\nUser-Agent:  X/1 \r\nReferer: r", "X/1"},
        // Another letter case is found, but only the fallback reads a value: everything
        // after the first colon of the whole text.
        {"user-agent: X/1", "X/1"},
        {"Accept: a\r\nuser-agent: X/1", "a\r\nuser-agent: X/1"},
        {"User-Agent:\r\nAccept: a", "\r\nAccept: a"},  // trimming keeps CR LF
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers);
        EXPECT_EQ(UserAgentFor(c.headers), c.agent);
    }
}

TEST(RequestText, CompleteHeaderText) {
    struct Case {
        const char* headers;
        const char* completed;
    };
    const Case cases[] = {
        {"", "Accept: */*\r\nReferer: http://a.test/p\r\nAccept-Language: zh-cn"
             "\r\nContent-Type: application/x-www-form-urlencoded"},
        // Searches are case-sensitive, so a lower-case name does not count.
        {"accept: text/html", "accept: text/html\r\nAccept: */*\r\nReferer: http://a.test/p"
                              "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded"},
        {"Accept: a\r\nReferer: r\r\nAccept-Language: en\r\nContent-Type: t",
         "Accept: a\r\nReferer: r\r\nAccept-Language: en\r\nContent-Type: t"},
        // "Accept-Language:" does not hold "Accept:", so Accept is still added.
        {"Accept-Language: en", "Accept-Language: en\r\nAccept: */*\r\nReferer: http://a.test/p"
                                "\r\nContent-Type: application/x-www-form-urlencoded"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers);
        Text headers = c.headers;
        CompleteHeaderText(headers, "http://a.test/p");
        EXPECT_EQ(headers, c.completed);
    }
}

TEST(RequestText, AppendCookieLine) {
    struct Case {
        const char* headers;
        const char* cookies;
        const char* result;
    };
    const Case cases[] = {
        {"Accept: */*", "a=1", "Accept: */*\r\nCookie: a=1"},
        {"Accept: */*", "Cookie: a=1", "Accept: */*\r\nCookie: a=1"},
        {"", "a=1; b=2", "\r\nCookie: a=1; b=2"},  // the leading CR LF even on empty headers
        {"Accept: */*", "", "Accept: */*"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cookies);
        Text headers = c.headers;
        AppendCookieLine(headers, c.cookies);
        EXPECT_EQ(headers, c.result);
    }
}

TEST(RequestText, CookiesOfResponse) {
    struct Case {
        const char* description;
        const char* block;
        const char* cookies;
    };
    const Case cases[] = {
        {"attributes dropped", "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n\r\n", "a=1; b=2"},
        {"no cookies", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
        {"no space after the colon", "HTTP/1.1 200 OK\r\nSet-Cookie:a=1\r\n\r\n", ""},
        {"name in another case", "HTTP/1.1 200 OK\r\nset-cookie: a=1\r\n\r\n", ""},
        {"space before the colon", "HTTP/1.1 200 OK\r\nSet-Cookie : a=1\r\n\r\n", ""},
        {"empty value", "HTTP/1.1 200 OK\r\nSet-Cookie: \r\n\r\n", ""},
        {"spaces trimmed", "HTTP/1.1 200 OK\r\nSet-Cookie:   a=1   ;x\r\n", "a=1"},
        {"value holding a colon", "Set-Cookie: t=12:30; Expires=Wed, 21 Oct 2026 07:28:00 GMT", "t=12:30"},
        {"not a header block", "Set-Cookie: a=1", "a=1"},
        {"empty block", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(CookiesOfResponse(c.block), c.cookies);
    }
    EXPECT_EQ(RespellSetCookie("set-cookie: a\r\nSET-COOKIE: b\r\nX: set-cookie"),
              "Set-Cookie: a\r\nSet-Cookie: b\r\nX: Set-Cookie");
}

}  // namespace
