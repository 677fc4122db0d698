#include "app/runtime/HttpFile.h"

#include <windows.h>
#include <wininet.h>

#include <mutex>

namespace {

struct InternetHandle {
    HINTERNET handle = nullptr;
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET h) : handle(h) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() {
        if (handle) InternetCloseHandle(handle);
    }
};

// One internet handle for the process, opened at the first read and kept to the end.
HINTERNET ProcessInternetHandle() {
    static std::once_flag once;
    static HINTERNET session = nullptr;
    std::call_once(once, [] {
        session = InternetOpenA(HttpFileUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    });
    return session;
}

// Every InternetReadFile costs a round trip under Wine: read in large pieces.
constexpr DWORD kPieceSize = 256 * 1024;

DWORD QueryNumber(HINTERNET request, DWORD query, bool& known) {
    DWORD value = 0;
    DWORD size = sizeof value;
    known = HttpQueryInfoA(request, query | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr) != FALSE;
    return value;
}

}  // namespace

HttpFile ReadHttpFile(TextView address) {
    HttpFile result;
    HINTERNET session = ProcessInternetHandle();
    if (!session) return result;

    Text url(address);
    char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    std::string path(url.size() + 2, '\0');
    std::string extra(url.size() + 2, '\0');  // the query and fragment
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (url.empty() || !InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return result;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return result;
    path.resize(parts.dwUrlPathLength);
    if (path.empty()) path = "/";
    extra.resize(parts.dwExtraInfoLength);
    if (size_t fragment = extra.find('#'); fragment != std::string::npos) extra.resize(fragment);
    path += extra;

    InternetHandle connection(InternetConnectA(session, host, parts.nPort, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection.handle) return result;
    // Keeping the connection lets the next picture from the same server skip the
    // connection set-up, a TLS handshake above all (tens of milliseconds under Wine).
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_KEEP_CONNECTION;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    InternetHandle request(HttpOpenRequestA(connection.handle, "GET", path.c_str(), "HTTP/1.0", nullptr,
                                            nullptr, flags, 0));
    if (!request.handle) return result;
    static const char kAccept[] = "Accept: */*\r\n";
    if (!HttpSendRequestA(request.handle, kAccept, sizeof kAccept - 1, nullptr, 0)) return result;

    bool statusKnown = false;
    result.status = QueryNumber(request.handle, HTTP_QUERY_STATUS_CODE, statusKnown);
    bool lengthKnown = false;
    DWORD announced = QueryNumber(request.handle, HTTP_QUERY_CONTENT_LENGTH, lengthKnown);
    if (lengthKnown) result.body.reserve(announced);

    for (;;) {
        size_t used = result.body.size();
        result.body.resize(used + kPieceSize);
        DWORD got = 0;
        BOOL ok = InternetReadFile(request.handle, result.body.data() + used, kPieceSize, &got);
        result.body.resize(used + got);
        if (!ok) return result;  // broken off: not complete
        if (got == 0) break;
    }
    result.complete = !lengthKnown || result.body.size() == announced;
    return result;
}
