#include "web/WebRequest.h"

#include "web/AddressText.h"
#include "web/Cookies.h"
#include "web/InternetHandle.h"
#include "web/RequestText.h"
#include "web/ResponseDecoder.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr DWORD ReadPieceSize = 1024;
constexpr DWORD FirstHeaderBufferSize = 5000;
// A header block beyond this is no answer this program can use; the query is not
// retried past it.
constexpr DWORD LargestHeaderBlock = 16u << 20;

const char* MethodName(int code) {
    static constexpr std::array<const char*, 8> Names = {
        "GET", "POST", "HEAD", "PUT", "DELETE", "OPTIONS", "TRACE", "CONNECT"};
    return (code >= 0 && code < static_cast<int>(Names.size())) ? Names[static_cast<size_t>(code)] : "GET";
}

bool HasScheme(TextView address) {
    return FindText(address, "http://") != -1 || FindText(address, "https://") != -1;
}

HINTERNET OpenInternet(const Text& agent, const Text& proxy, bool secure) {
    if (proxy.empty()) return InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    // WinInet reads "http=" as "for plain requests only"; a secure request names the
    // proxy as it is.
    const Text proxyName = secure ? proxy : "http=" + proxy;
    return InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxyName.c_str(), "", 0);
}

Bytes ReadBody(HINTERNET request) {
    Bytes body;
    std::array<std::uint8_t, ReadPieceSize> piece{};
    for (;;) {
        DWORD count = 0;
        const BOOL ok = InternetReadFile(request, piece.data(), ReadPieceSize, &count);
        if (!ok || count == 0) break;
        count = std::min(count, ReadPieceSize);
        body.insert(body.end(), piece.begin(), piece.begin() + count);
    }
    return body;
}

// The raw header block of the final response. A block too large for the first buffer
// is read again into one of the size WinInet asks for, so large header blocks keep
// their cookies and Content-Encoding. When there is no block at all (the request never
// got an answer) the result is the untouched buffer of spaces.
Text QueryResponseHeaders(HINTERNET request) {
    std::vector<char> buffer(FirstHeaderBufferSize, ' ');
    for (;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        if (HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr)) break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return Text(FirstHeaderBufferSize, ' ');
        // Room for the terminating zero too, and never less than twice as much, so a
        // misreported size cannot keep the loop going for long.
        const DWORD wanted = std::max<DWORD>(length + 1, static_cast<DWORD>(buffer.size()) * 2);
        if (wanted > LargestHeaderBlock) return Text(FirstHeaderBufferSize, ' ');
        buffer.assign(wanted, ' ');
    }
    // The block ends at the zero byte the query wrote; a header carrying a zero byte of
    // its own ends it there too.
    const auto end = std::find(buffer.begin(), buffer.end(), '\0');
    return Text(buffer.begin(), end);
}

Bytes Expand(const Bytes& body, TextView responseHeaders, TextView requestHeaders) {
    const ResponseDecoder* decoder = TheResponseDecoder;
    if (!decoder) return {};
    Bytes decoded;
    if (FindText(responseHeaders, "Content-Encoding: gzip") != -1 ||
        FindText(requestHeaders, "Accept-Encoding: gzip, deflate") != -1) {
        decoded = decoder->DecodeGzip(body);
    }
    if (FindText(responseHeaders, "Content-Encoding: deflate") != -1) decoded = decoder->DecodeDeflate(body);
    return decoded;
}

}  // namespace

Bytes WebRequest(Text& address, std::optional<int> method, std::optional<Text> bodyText, Text* cookies,
                 Text* returnedCookies, Text* headers, Text* responseHeaders, std::optional<bool> noRedirect,
                 Bytes* bodyBytes, std::optional<Text> proxy, std::optional<bool> mergeCookies,
                 std::optional<bool> completeHeaders, std::optional<bool> normaliseHeaderNames) {
    Text ownHeaders;
    Text& headerText = headers ? *headers : ownHeaders;
    Bytes ownBody;
    Bytes& requestBody = bodyBytes ? *bodyBytes : ownBody;
    const int methodCode = method.value_or(WebGet);

    if (normaliseHeaderNames.value_or(true)) headerText = NormaliseHeaderNames(headerText);
    if (!HasScheme(address)) address.insert(0, "http://");
    const bool secure = ToLowerText(TextLeft(address, 8)) == "https://";

    InternetHandle internet(OpenInternet(UserAgentFor(headerText), proxy.value_or(Text{}), secure));
    if (!internet) return {};

    // INTERNET_PORT is 16 bits: a larger number would quietly name another port.
    const int port = PortOfAddress(address);
    if (port < 0 || port > 65535) return {};
    InternetHandle connection(InternetConnectA(internet.Get(), HostOfAddress(address).c_str(),
                                               static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return {};

    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE;
    if (cookies) flags |= INTERNET_FLAG_NO_COOKIES;
    if (noRedirect.value_or(false)) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
    flags |= secure ? INTERNET_FLAG_SECURE : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    InternetHandle request(HttpOpenRequestA(connection.Get(), MethodName(methodCode),
                                            PathOfAddress(address).c_str(), "HTTP/1.1", nullptr, nullptr,
                                            flags, 0));
    if (!request) return {};

    if (completeHeaders.value_or(true)) CompleteHeaderText(headerText, address);
    if (cookies) AppendCookieLine(headerText, *cookies);

    if (methodCode == WebGet) {
        HttpSendRequestA(request.Get(), headerText.data(), static_cast<DWORD>(headerText.size()), nullptr, 0);
    } else {
        if (requestBody.empty()) requestBody = TextToBytes(bodyText.value_or(Text{}));
        HttpSendRequestA(request.Get(), headerText.data(), static_cast<DWORD>(headerText.size()),
                         requestBody.empty() ? nullptr : requestBody.data(),
                         static_cast<DWORD>(requestBody.size()));
    }

    const Bytes body = ReadBody(request.Get());
    const Text rawHeaders = RespellSetCookie(QueryResponseHeaders(request.Get()));
    request.Close();
    connection.Close();
    internet.Close();

    Text cookiesSet = CookiesOfResponse(rawHeaders);
    if (mergeCookies.value_or(true) && cookies) cookiesSet = MergeCookies(*cookies, cookiesSet);
    if (returnedCookies) *returnedCookies = cookiesSet;
    if (responseHeaders) *responseHeaders = rawHeaders;

    Bytes decoded = Expand(body, rawHeaders, headerText);
    return decoded.empty() ? body : decoded;
}
