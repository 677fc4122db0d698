#pragma once
// The tests' client for the loopback test server (tools/testserver): scripts what a
// path answers and reads back exactly what each request carried. It talks HTTP/1.0 over
// plain sockets, so it shares no state (cookies, cache, connections) with WinInet,
// which the tests exercise.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

struct RecordedRequest {
    int id = 0;
    std::string scheme;  // "http" or "https": the port it came in on
    std::string method;
    std::string target;  // as sent: a path, or an absolute address when sent to a proxy
    std::string version;
    std::string head;  // request line and header lines exactly as received, blank line included
    std::vector<std::string> headerLines;  // without their CR LF, in order
    std::string body;

    // The header lines joined by CR LF, as the client sent them.
    std::string HeaderText() const;
    // The value of the first header of that name (any letter case), without the
    // spaces around it; nullopt when there is none.
    std::optional<std::string> Header(std::string_view name) const;
};

struct Response {
    int status = 200;
    std::string reason;                // empty: the usual phrase of the status
    std::vector<std::string> headers;  // header lines without CR LF, sent as written
    std::string body;
    std::string encoding;  // "gzip", "zlib" or "deflate" (raw): compresses the body
                           // and adds Content-Encoding unless a header line names it
    int delayMs = 0;       // wait before answering
    int dropAfter = -1;    // close the connection after this many body bytes
    bool noLength = false; // no Content-Length: the body ends with the connection
    std::string scheme;    // "http" or "https" to answer on that port only
};

class TestServer {
public:
    // The server of this build, found through the ports file its fixture writes
    // (QV_TESTSERVER_STATE, or QV_BUILD_DIR/testserver).
    static const TestServer& Instance();

    bool Available() const { return httpPort_ != 0; }
    int HttpPort() const { return httpPort_; }
    int HttpsPort() const { return httpsPort_; }

    // "http://127.0.0.1:port" + path and "https://localhost:port" + path. HTTPS needs the
    // name: the certificate names localhost, and Wine does not match address names.
    std::string HttpAddress(std::string_view path) const;
    std::string HttpsAddress(std::string_view path) const;

    bool Script(std::string_view path, const Response& response) const;
    // Sends `wire` as it is (status line, headers, body) and closes the connection.
    bool ScriptRaw(std::string_view path, std::string_view wire, std::string_view scheme = {}) const;

    // Requests whose path (without query) is `path`, oldest first.
    std::vector<RecordedRequest> Requests(std::string_view path) const;
    std::optional<RecordedRequest> LastRequest(std::string_view path) const;
    int RequestCount(std::string_view path) const;

    // One control request ("GET", "requests?path=/x"): the body of a 200 answer, or nullopt.
    std::optional<std::string> Control(std::string_view method, std::string_view commandAndQuery,
                                       std::string_view body = {}) const;

private:
    TestServer();
    int httpPort_ = 0;
    int httpsPort_ = 0;
};

// A path no other test uses: "/<stem>/<n>".
std::string UniquePath(std::string_view stem);
std::string UrlEncode(std::string_view text);

}  // namespace testserver
