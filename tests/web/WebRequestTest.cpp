#include "web/WebRequest.h"

#include "support/TestServer.h"
#include "web/ResponseDecoder.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using testserver::RecordedRequest;
using testserver::Response;
using testserver::TestServer;
using testserver::UniquePath;

namespace {

const char Marker[] = "\xDE\xAD\xBE\xEF";

const TestServer& Server() { return TestServer::Instance(); }

Response Answer(std::string body, std::vector<std::string> headers = {}, int status = 200) {
    Response response;
    response.status = status;
    response.headers = std::move(headers);
    response.body = std::move(body);
    return response;
}

Bytes BytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// A literal with its zero bytes.
template <size_t N>
std::string Raw(const char (&bytes)[N]) { return std::string(bytes, N - 1); }

// One call of WebRequest with every argument spelled out. Optional members left empty
// are omitted from the call; out-parameters start as a marker so the test sees whether
// they were written.
struct Call {
    Text address;
    std::optional<int> method;
    std::optional<Text> bodyText;
    std::optional<Text> cookies;  // nullopt: the parameter is not supplied
    std::optional<Text> headers;  // nullopt: not supplied
    std::optional<bool> noRedirect;
    std::optional<Bytes> bodyBytes;  // nullopt: not supplied
    std::optional<Text> proxy;
    std::optional<bool> mergeCookies;
    std::optional<bool> completeHeaders;
    std::optional<bool> normaliseHeaderNames;

    Text returnedCookies = Marker;
    Text responseHeaders = Marker;
    Bytes result = BytesOf(Marker);

    Text Run() {
        result = WebRequest(address, method, bodyText, cookies ? &*cookies : nullptr, &returnedCookies,
                            headers ? &*headers : nullptr, &responseHeaders, noRedirect,
                            bodyBytes ? &*bodyBytes : nullptr, proxy, mergeCookies, completeHeaders,
                            normaliseHeaderNames);
        return BytesToText(result);
    }
};

// The call the program itself makes for a page: every parameter supplied, all empty.
Call ProgramCall(Text address) {
    Call call;
    call.address = std::move(address);
    call.method = 0;
    call.bodyText = Text{};
    call.cookies = Text{};
    call.headers = Text{};
    call.noRedirect = false;
    call.bodyBytes = Bytes{};
    call.proxy = Text{};
    call.mergeCookies = false;
    call.completeHeaders = false;
    call.normaliseHeaderNames = false;
    return call;
}

bool HasLine(const RecordedRequest& request, std::string_view line) {
    return std::find(request.headerLines.begin(), request.headerLines.end(), line) != request.headerLines.end();
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// Wine's WinInet differs from Windows' in a few places the tests pin down.
bool RunningOnWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

class WebRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Server().Available()) << "the test server's ports file was not found; "
                                             "run the tests through ctest (fixture testserver)";
    }
};

// The main exchanges run once over HTTP and once over HTTPS.
class WebRequestOverScheme : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { ASSERT_TRUE(Server().Available()) << "the test server is not running"; }
    bool Secure() const { return std::string_view(GetParam()) == "https"; }
    std::string Address(std::string_view path) const {
        return Secure() ? Server().HttpsAddress(path) : Server().HttpAddress(path);
    }
    std::string Script(std::string_view stem, const Response& response) const {
        std::string path = UniquePath(stem);
        Response scripted = response;
        EXPECT_TRUE(Server().Script(path, scripted)) << "could not script " << path;
        return path;
    }
};

INSTANTIATE_TEST_SUITE_P(Schemes, WebRequestOverScheme, ::testing::Values("http", "https"));

TEST_P(WebRequestOverScheme, ProgramCallSendsAPlainGet) {
    const std::string path = Script("plain", Answer("<p>页面</p>", {"Set-Cookie: s=1; path=/"}));
    Call call = ProgramCall(Address(path));

    EXPECT_EQ(call.Run(), "<p>页面</p>");

    const auto request = Server().LastRequest(path);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->scheme, GetParam());
    EXPECT_EQ(request->method, "GET");
    EXPECT_EQ(request->target, path);
    EXPECT_EQ(request->version, "HTTP/1.1");
    EXPECT_EQ(request->Header("User-Agent"), DefaultUserAgent);
    EXPECT_FALSE(request->Header("Cookie")) << "a supplied empty cookie text sends no cookies";
    EXPECT_FALSE(request->Header("Accept")) << "no header completion was asked for";
    EXPECT_FALSE(request->Header("Referer"));
    EXPECT_EQ(request->body, "");

    EXPECT_EQ(call.address, Address(path));
    EXPECT_EQ(call.headers, Text{});
    EXPECT_EQ(call.cookies, Text{}) << "no merging was asked for";
    EXPECT_EQ(call.bodyBytes, Bytes{});
    EXPECT_EQ(call.returnedCookies, "s=1");
    EXPECT_TRUE(StartsWith(call.responseHeaders, "HTTP/1.1 200 OK\r\n")) << call.responseHeaders;
    EXPECT_NE(call.responseHeaders.find("\r\nSet-Cookie: s=1; path=/\r\n"), std::string::npos);
    EXPECT_NE(call.responseHeaders.find("\r\nContent-Length: 11\r\n"), std::string::npos);
}

TEST_P(WebRequestOverScheme, CompletesHeadersSendsCookiesAndMergesTheAnswer) {
    const std::string path =
        Script("complete", Answer("ok", {"Set-Cookie: a=3; path=/", "set-cookie: b=2", "SET-COOKIE: c=; x"}));
    Call call;
    call.address = Address(path);
    call.cookies = "a=1; d=4";
    call.headers = "x-requested-with: abc";

    EXPECT_EQ(call.Run(), "ok");

    const Text address = Address(path);
    const Text sent = "X-Requested-With: abc\r\nAccept: */*\r\nReferer: " + address +
                      "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded"
                      "\r\nCookie: a=1; d=4";
    EXPECT_EQ(call.headers, sent) << "the caller keeps the header text that was sent";
    const auto request = Server().LastRequest(path);
    ASSERT_TRUE(request);
    for (const char* line : {"X-Requested-With: abc", "Accept: */*", "Accept-Language: zh-cn",
                             "Content-Type: application/x-www-form-urlencoded", "Cookie: a=1; d=4"}) {
        EXPECT_TRUE(HasLine(*request, line)) << "missing line " << line << " in\n" << request->head;
    }
    EXPECT_TRUE(HasLine(*request, "Referer: " + address)) << request->head;

    // "c=" empties a cookie, so the merge leaves it out.
    EXPECT_EQ(call.returnedCookies, "a=3; b=2; d=4");
    EXPECT_EQ(call.cookies, "a=3; b=2; d=4");
    EXPECT_NE(call.responseHeaders.find("\r\nSet-Cookie: a=3; path=/\r\n"), std::string::npos);
    EXPECT_NE(call.responseHeaders.find("\r\nSet-Cookie: b=2\r\n"), std::string::npos);
    EXPECT_NE(call.responseHeaders.find("\r\nSet-Cookie: c=; x\r\n"), std::string::npos);
    EXPECT_EQ(call.responseHeaders.find("set-cookie"), std::string::npos);
}

TEST_P(WebRequestOverScheme, SendsBodiesForEveryMethodButGet) {
    const std::string path = Script("body", Answer("done"));
    {
        Call post;
        post.address = Address(path);
        post.method = WebPost;
        post.bodyText = "x=1";
        post.bodyBytes = Bytes{};
        EXPECT_EQ(post.Run(), "done");
        const auto request = Server().LastRequest(path);
        ASSERT_TRUE(request);
        EXPECT_EQ(request->method, "POST");
        EXPECT_EQ(request->body, "x=1");
        EXPECT_EQ(request->Header("Content-Length"), "3");
        EXPECT_EQ(post.bodyBytes, BytesOf("x=1")) << "the body text is left in the caller's bodyBytes";
    }
    {
        Call put;
        put.address = Address(path);
        put.method = WebPut;
        put.bodyText = "not sent";
        put.bodyBytes = Bytes{0x00, 0x01, 0xFF, 0x00};
        put.Run();
        const auto request = Server().LastRequest(path);
        ASSERT_TRUE(request);
        EXPECT_EQ(request->method, "PUT");
        EXPECT_EQ(request->body, std::string("\x00\x01\xFF\x00", 4)) << "bodyBytes win over bodyText";
    }
    {
        Call get;
        get.address = Address(path);
        get.bodyBytes = BytesOf("ignored");
        get.bodyText = "ignored too";
        get.Run();
        const auto request = Server().LastRequest(path);
        ASSERT_TRUE(request);
        EXPECT_EQ(request->method, "GET");
        EXPECT_EQ(request->body, "") << "GET sends no body";
        EXPECT_EQ(get.bodyBytes, BytesOf("ignored"));
    }
}

TEST_P(WebRequestOverScheme, ReadsAHeaderBlockOverFiveThousandBytesWhole) {
    std::vector<std::string> headers;
    for (int i = 0; i < 60; ++i) headers.push_back("X-Filler-" + std::to_string(i) + ": " + std::string(190, 'f'));
    headers.push_back("Set-Cookie: big=1; path=/");
    const std::string path = Script("bighead", Answer("body", headers));
    Call call = ProgramCall(Address(path));

    EXPECT_EQ(call.Run(), "body");
    EXPECT_GT(call.responseHeaders.size(), 12000u);
    EXPECT_TRUE(StartsWith(call.responseHeaders, "HTTP/1.1 200 OK\r\n"));
    EXPECT_NE(call.responseHeaders.find("\r\nX-Filler-59: fff"), std::string::npos);
    EXPECT_EQ(call.returnedCookies, "big=1") << "the cookie at the end of a large block is found";
}

TEST_P(WebRequestOverScheme, FollowsRedirectsUnlessToldNot) {
    const std::string target = Script("redirect-target", Answer("arrived"));
    const std::string from = Script("redirect-from", Answer("moved", {"Location: " + Address(target)}, 302));
    {
        Call call = ProgramCall(Address(from));
        EXPECT_EQ(call.Run(), "arrived");
        EXPECT_TRUE(StartsWith(call.responseHeaders, "HTTP/1.1 200 OK\r\n")) << "headers of the final response";
        EXPECT_EQ(Server().RequestCount(target), 1);
    }
    {
        Call call = ProgramCall(Address(from));
        call.noRedirect = true;
        EXPECT_EQ(call.Run(), "moved");
        EXPECT_TRUE(StartsWith(call.responseHeaders, "HTTP/1.1 302 Found\r\n")) << call.responseHeaders;
        EXPECT_EQ(Server().RequestCount(target), 1) << "the redirect was not followed";
    }
}

TEST_P(WebRequestOverScheme, ReadsLargeBodiesWhole) {
    const int size = 300000;
    Call call = ProgramCall(Address("/__bytes/" + std::to_string(size)));
    call.Run();
    ASSERT_EQ(call.result.size(), static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
        if (call.result[static_cast<size_t>(i)] != i % 251) FAIL() << "body differs at byte " << i;
    }
}

TEST_P(WebRequestOverScheme, SurvivesAConnectionDroppedMidBody) {
    Response response = Answer(std::string(50000, 'b'));
    response.dropAfter = 3000;
    const std::string path = Script("dropped", response);
    Call call = ProgramCall(Address(path));
    const Text body = call.Run();
    EXPECT_LE(body.size(), 3000u);
    EXPECT_EQ(body, std::string(body.size(), 'b'));
    EXPECT_TRUE(StartsWith(call.responseHeaders, "HTTP/1.1 200 OK\r\n"));
}

TEST_P(WebRequestOverScheme, WaitsForASlowResponse) {
    Response response = Answer("late");
    response.delayMs = 1500;
    const std::string path = Script("slow", response);
    Call call = ProgramCall(Address(path));
    EXPECT_EQ(call.Run(), "late");
}

TEST_F(WebRequestTest, AddressWithoutSchemeGetsHttpInFront) {
    const std::string path = UniquePath("noscheme");
    ASSERT_TRUE(Server().Script(path, Answer("plain")));
    const Text bare = "127.0.0.1:" + std::to_string(Server().HttpPort()) + path;
    Call call = ProgramCall(bare);

    EXPECT_EQ(call.Run(), "plain");
    EXPECT_EQ(call.address, "http://" + bare);
    EXPECT_EQ(Server().RequestCount(path), 1);
}

TEST_F(WebRequestTest, AsksTheServerEveryTimeEvenForCacheableAnswers) {
    const std::string path = UniquePath("cacheable");
    ASSERT_TRUE(Server().Script(path, Answer("fresh", {"Cache-Control: public, max-age=3600",
                                                       "Expires: Thu, 01 Jan 2037 00:00:00 GMT"})));
    for (int i = 0; i < 2; ++i) {
        Call call;  // WinInet's own cookie and cache handling left on
        call.address = Server().HttpAddress(path);
        EXPECT_EQ(call.Run(), "fresh");
    }
    // Wine's WinInet asks again even without INTERNET_FLAG_RELOAD; Windows would answer
    // the second call from its cache.
    EXPECT_EQ(Server().RequestCount(path), 2) << "the second answer came from the cache";
}

TEST_F(WebRequestTest, SendsTheMethodOfEachCode) {
    struct Case {
        int code;
        const char* name;
    };
    const Case cases[] = {{0, "GET"},     {1, "POST"},    {2, "HEAD"}, {3, "PUT"}, {4, "DELETE"},
                          {5, "OPTIONS"}, {6, "TRACE"},   {8, "GET"},  {-1, "GET"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = UniquePath("method");
        ASSERT_TRUE(Server().Script(path, Answer("answer")));
        Call call = ProgramCall(Server().HttpAddress(path));
        call.method = c.code;
        const Text body = call.Run();
        const auto request = Server().LastRequest(path);
        ASSERT_TRUE(request);
        EXPECT_EQ(request->method, c.name);
        EXPECT_EQ(body, c.code == WebHead ? "" : "answer");
    }
}

TEST_F(WebRequestTest, TakesTheAgentFromTheHeaderText) {
    struct Case {
        const char* headers;
        bool normalise;
        const char* agent;
    };
    const Case cases[] = {
        {"User-Agent: X/1", true, "X/1"},
        {"user-agent: X/1", false, "X/1"},  // found only through the fallback
        {"user-agent: X/1", true, "X/1"},   // normalised first, then found directly
        {"Accept: */*", true, DefaultUserAgent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers);
        const std::string path = UniquePath("agent");
        ASSERT_TRUE(Server().Script(path, Answer("x")));
        Call call = ProgramCall(Server().HttpAddress(path));
        call.headers = c.headers;
        call.normaliseHeaderNames = c.normalise;
        call.Run();
        const auto request = Server().LastRequest(path);
        ASSERT_TRUE(request);
        EXPECT_EQ(request->Header("User-Agent"), c.agent) << request->head;
    }
}

TEST_F(WebRequestTest, WinInetKeepsCookiesOnlyWhenNoCookieTextIsSupplied) {
    const std::string path = UniquePath("jar");
    const std::string name = "jar" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(Server().Script(path, Answer("x", {"Set-Cookie: " + name + "=1; path=" + path})));

    Call first;
    first.address = Server().HttpAddress(path);
    first.Run();
    EXPECT_EQ(first.returnedCookies, name + "=1");

    Call second;
    second.address = Server().HttpAddress(path);
    second.Run();
    auto request = Server().LastRequest(path);
    ASSERT_TRUE(request);
    EXPECT_NE(request->Header("Cookie").value_or("").find(name + "=1"), std::string::npos)
        << "WinInet's own store sends what it kept";

    Call third = second;
    third.cookies = Text{};
    third.Run();
    request = Server().LastRequest(path);
    ASSERT_TRUE(request);
    EXPECT_FALSE(request->Header("Cookie")) << "a supplied cookie text switches the store off";
}

TEST_F(WebRequestTest, CookieTextAndMergeChoices) {
    const std::string path = UniquePath("cookies");
    ASSERT_TRUE(Server().Script(path, Answer("x", {"Set-Cookie: a=3"})));
    struct Case {
        const char* cookies;
        bool merge;
        const char* cookieLine;  // what the server sees
        const char* cookiesAfter;
        const char* returned;
    };
    const Case cases[] = {
        {"a=1; b=2", false, "a=1; b=2", "a=1; b=2", "a=3"},
        {"a=1; b=2", true, "a=1; b=2", "a=3; b=2", "a=3; b=2"},
        {"Cookie: b=2", false, "b=2", "Cookie: b=2", "a=3"},
        {"", true, nullptr, "a=3", "a=3"},
        {"b = two words", true, "b = two words", "a=3; b=twowords", "a=3; b=twowords"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cookies);
        Call call = ProgramCall(Server().HttpAddress(path));
        call.cookies = c.cookies;
        call.mergeCookies = c.merge;
        call.Run();
        const auto request = Server().LastRequest(path);
        ASSERT_TRUE(request);
        if (c.cookieLine) {
            EXPECT_EQ(request->Header("Cookie"), c.cookieLine);
        } else {
            EXPECT_FALSE(request->Header("Cookie"));
        }
        EXPECT_EQ(call.cookies, c.cookiesAfter);
        EXPECT_EQ(call.returnedCookies, c.returned);
    }
}

TEST_F(WebRequestTest, FollowsARedirectFromHttpToHttps) {
    const std::string target = UniquePath("secure-target");
    ASSERT_TRUE(Server().Script(target, Answer("secure")));
    const std::string from = UniquePath("to-secure");
    ASSERT_TRUE(Server().Script(from, Answer("", {"Location: " + Server().HttpsAddress(target)}, 302)));

    Call call = ProgramCall("http://localhost:" + std::to_string(Server().HttpPort()) + from);
    EXPECT_EQ(call.Run(), "secure");
    const auto request = Server().LastRequest(target);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->scheme, "https");
}

TEST_F(WebRequestTest, GoesThroughAProxy) {
    const std::string path = UniquePath("proxied");
    ASSERT_TRUE(Server().Script(path, Answer("via proxy")));
    const Text proxy = "127.0.0.1:" + std::to_string(Server().HttpPort());

    // A plain request names the proxy for HTTP only ("http=..."); the proxy sees the
    // whole address as the target.
    Call plain = ProgramCall("http://proxied.test" + path);
    plain.proxy = proxy;
    EXPECT_EQ(plain.Run(), "via proxy");
    auto request = Server().LastRequest(path);
    ASSERT_TRUE(request);
    // Wine writes the default port into the absolute address; Windows leaves it out.
    EXPECT_EQ(request->target, (RunningOnWine() ? "http://proxied.test:80" : "http://proxied.test") + path);

    // A secure request asks the proxy for a tunnel, which this server refuses.
    const std::string securePath = UniquePath("proxied-secure");
    Call secure = ProgramCall("https://proxied.test" + securePath);
    secure.proxy = proxy;
    EXPECT_EQ(secure.Run(), "");
    bool tunnelAsked = false;
    for (const RecordedRequest& r : Server().Requests("proxied.test:443")) tunnelAsked |= r.method == "CONNECT";
    EXPECT_TRUE(tunnelAsked) << "the proxy was not asked for a tunnel to proxied.test:443";
}

TEST_F(WebRequestTest, RequestThatCannotBeOpenedWritesNoResults) {
    struct Case {
        const char* address;
        const char* addressAfter;
    };
    const Case cases[] = {
        {"http:///nohost", "http:///nohost"},  // no host name to connect to
        {"127.0.0.1:70000/p", "http://127.0.0.1:70000/p"},  // no such port
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        Call call = ProgramCall(c.address);
        call.cookies = "a=1";
        call.mergeCookies = true;
        call.completeHeaders = true;
        EXPECT_EQ(call.Run(), "");
        EXPECT_EQ(call.address, c.addressAfter);
        EXPECT_EQ(call.returnedCookies, Marker);
        EXPECT_EQ(call.responseHeaders, Marker);
        EXPECT_EQ(call.cookies, "a=1");
        EXPECT_EQ(call.headers, Text{}) << "headers are completed only once a request is open";
    }
}

TEST_F(WebRequestTest, RefusedConnectionGivesNothing) {
    // A port that was just free: nothing listens on it.
    WSADATA winsock;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &winsock), 0);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(s, INVALID_SOCKET);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    int length = sizeof where;
    getsockname(s, reinterpret_cast<sockaddr*>(&where), &length);
    closesocket(s);
    WSACleanup();

    Call call = ProgramCall("http://127.0.0.1:" + std::to_string(ntohs(where.sin_port)) + "/");
    call.cookies = "a=1";
    call.mergeCookies = true;
    EXPECT_EQ(call.Run(), "");
    // Windows fails the header query of a request that got no answer, which leaves the
    // buffer of spaces; Wine answers it with an empty block.
    EXPECT_EQ(call.responseHeaders, RunningOnWine() ? Text("\r\n") : Text(5000, ' '));
    EXPECT_EQ(call.returnedCookies, "a=1") << "nothing returned, merged with what was sent";
    EXPECT_EQ(call.cookies, "a=1");
}

TEST_F(WebRequestTest, SurvivesMalformedAnswers) {
    struct Case {
        const char* description;
        std::string wire;
    };
    const Case cases[] = {
        {"header line of 100 KB", "HTTP/1.1 200 OK\r\nX-Huge: " + std::string(100000, 'h') +
                                      "\r\nSet-Cookie: h=1\r\nContent-Length: 2\r\n\r\nok"},
        {"zero bytes in a header", Raw("HTTP/1.1 200 OK\r\nX-Zero: a\0b\r\nContent-Length: 2\r\n\r\nok")},
        {"no end of the header block", "HTTP/1.1 200 OK\r\nX-A: b\r\n"},
        {"no HTTP at all", "this is not a response\r\n\r\n"},
        {"nothing", ""},
        {"body without length", "HTTP/1.1 200 OK\r\n\r\n" + std::string(70000, 'z')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        const std::string path = UniquePath("malformed");
        ASSERT_TRUE(Server().ScriptRaw(path, c.wire));
        Call call = ProgramCall(Server().HttpAddress(path));
        const Text body = call.Run();
        EXPECT_LE(body.size(), c.wire.size());
        EXPECT_EQ(call.responseHeaders.find('\0'), std::string::npos);
        EXPECT_NE(call.returnedCookies, Marker);
    }
}

TEST_F(WebRequestTest, LargeHeaderLineStillGivesItsCookies) {
    const std::string path = UniquePath("hugeline");
    ASSERT_TRUE(Server().ScriptRaw(path, "HTTP/1.1 200 OK\r\nX-Huge: " + std::string(100000, 'h') +
                                             "\r\nSet-Cookie: h=1\r\nContent-Length: 2\r\n\r\nok"));
    Call call = ProgramCall(Server().HttpAddress(path));
    EXPECT_EQ(call.Run(), "ok");
    EXPECT_EQ(call.returnedCookies, "h=1");
    const size_t lineEnd = call.responseHeaders.find("\r\nSet-Cookie: h=1\r\n");
    ASSERT_NE(lineEnd, std::string::npos) << "the lines after the long one are kept";
    // Wine keeps the first 4095 bytes of a header line and drops the rest of it.
    const size_t lineSize = lineEnd - std::string_view("HTTP/1.1 200 OK\r\n").size();
    EXPECT_EQ(lineSize, RunningOnWine() ? 4095u : 8u + 100000u);
}

// Sets the process-wide decoder for one test and puts the old one back.
class DecoderScope {
public:
    explicit DecoderScope(ResponseDecoder* decoder) : saved_(TheResponseDecoder) { TheResponseDecoder = decoder; }
    ~DecoderScope() { TheResponseDecoder = saved_; }

private:
    ResponseDecoder* saved_;
};

const std::string PageText = "<html>" + std::string(5000, 'g') + "</html>";

TEST_F(WebRequestTest, ExpandsGzipAndDeflatePages) {
    ResponseDecoder decoder;
    if (!decoder.InitialiseDecoder()) {
        decoder.Destroy();
        GTEST_SKIP() << "the response decoder cannot be initialised yet (its zlib image is not mapped)";
    }
    DecoderScope scope(&decoder);
    struct Case {
        const char* encoding;
        const char* scheme;
    };
    for (const Case& c : {Case{"gzip", "http"}, Case{"deflate", "http"}, Case{"zlib", "https"}}) {
        SCOPED_TRACE(c.encoding);
        const std::string path = UniquePath("compressed");
        Response response = Answer(PageText);
        response.encoding = c.encoding;
        ASSERT_TRUE(Server().Script(path, response));
        Call call = ProgramCall(std::string_view(c.scheme) == "https" ? Server().HttpsAddress(path)
                                                                     : Server().HttpAddress(path));
        EXPECT_EQ(call.Run(), PageText);
    }
    decoder.Destroy();
}

TEST_F(WebRequestTest, UncompressedOrUndecodedBodiesComeBackAsSent) {
    // Asking for gzip makes WebRequest try to expand, but a plain answer stays plain.
    const std::string plain = UniquePath("plain-answer");
    ASSERT_TRUE(Server().Script(plain, Answer(PageText)));
    Call asked = ProgramCall(Server().HttpAddress(plain));
    asked.headers = "Accept-Encoding: gzip, deflate";
    EXPECT_EQ(asked.Run(), PageText);
    const auto request = Server().LastRequest(plain);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->Header("Accept-Encoding"), "gzip, deflate");

    // Without a decoder a compressed body is returned as it came.
    DecoderScope none(nullptr);
    const std::string gzipped = UniquePath("gzip-raw");
    Response response = Answer(PageText);
    response.encoding = "gzip";
    ASSERT_TRUE(Server().Script(gzipped, response));
    Call call = ProgramCall(Server().HttpAddress(gzipped));
    const Text body = call.Run();
    ASSERT_GE(body.size(), 2u);
    EXPECT_EQ(body.substr(0, 2), "\x1F\x8B");
    EXPECT_NE(call.responseHeaders.find("\r\nContent-Encoding: gzip\r\n"), std::string::npos);
}

}  // namespace
