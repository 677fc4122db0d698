#include "support/TestServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testserver {
namespace {

class Socket {
public:
    explicit Socket(SOCKET s) : socket_(s) {}
    ~Socket() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET Get() const { return socket_; }

private:
    SOCKET socket_;
};

bool StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

// The ports file lives on the Unix side; Wine shows the Unix root as drive Z:.
std::string PortsFilePath() {
    if (const char* state = std::getenv("QV_TESTSERVER_STATE")) return std::string("Z:") + state + "/ports";
    if (const char* build = std::getenv("QV_BUILD_DIR")) return std::string("Z:") + build + "/testserver/ports";
    return {};
}

bool SendAll(SOCKET s, std::string_view data) {
    while (!data.empty()) {
        const int sent = send(s, data.data(), static_cast<int>(std::min<size_t>(data.size(), 1 << 20)), 0);
        if (sent <= 0) return false;
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

std::string Lowered(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

std::string Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return std::string(text);
}

RecordedRequest ParseRequest(int id, std::string scheme, std::string head, std::string body) {
    RecordedRequest request;
    request.id = id;
    request.scheme = std::move(scheme);
    request.body = std::move(body);
    std::string_view rest(head);
    if (rest.size() >= 4) rest.remove_suffix(4);  // the blank line
    bool first = true;
    while (true) {
        const size_t end = rest.find("\r\n");
        const std::string_view line = rest.substr(0, end);
        if (first) {
            std::istringstream parts{std::string(line)};
            parts >> request.method >> request.target >> request.version;
            first = false;
        } else {
            request.headerLines.emplace_back(line);
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 2);
    }
    request.head = std::move(head);
    return request;
}

}  // namespace

std::string RecordedRequest::HeaderText() const {
    std::string text;
    for (const std::string& line : headerLines) {
        if (!text.empty()) text += "\r\n";
        text += line;
    }
    return text;
}

std::optional<std::string> RecordedRequest::Header(std::string_view name) const {
    const std::string wanted = Lowered(name);
    for (const std::string& line : headerLines) {
        const size_t colon = line.find(':');
        if (colon != std::string::npos && Lowered(Trimmed(line.substr(0, colon))) == wanted) {
            return Trimmed(std::string_view(line).substr(colon + 1));
        }
    }
    return std::nullopt;
}

const TestServer& TestServer::Instance() {
    static const TestServer server;
    return server;
}

TestServer::TestServer() {
    std::ifstream file(PortsFilePath());
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind("http=", 0) == 0) httpPort_ = std::atoi(line.c_str() + 5);
        if (line.rfind("https=", 0) == 0) httpsPort_ = std::atoi(line.c_str() + 6);
    }
}

std::string TestServer::HttpAddress(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(httpPort_) + std::string(path);
}

std::string TestServer::HttpsAddress(std::string_view path) const {
    return "https://localhost:" + std::to_string(httpsPort_) + std::string(path);
}

std::optional<std::string> TestServer::Control(std::string_view method, std::string_view commandAndQuery,
                                               std::string_view body) const {
    if (!Available() || !StartWinsock()) return std::nullopt;
    Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (s.Get() == INVALID_SOCKET) return std::nullopt;
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<u_short>(httpPort_));
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s.Get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) return std::nullopt;

    std::string message = std::string(method) + " /__control/" + std::string(commandAndQuery) +
                          " HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(body.size()) +
                          "\r\n\r\n";
    message += body;
    if (!SendAll(s.Get(), message)) return std::nullopt;

    std::string answer;
    char piece[65536];
    for (;;) {
        const int got = recv(s.Get(), piece, sizeof piece, 0);
        if (got <= 0) break;
        answer.append(piece, static_cast<size_t>(got));
    }
    const size_t headEnd = answer.find("\r\n\r\n");
    if (answer.rfind("HTTP/1.1 200 ", 0) != 0 || headEnd == std::string::npos) return std::nullopt;
    return answer.substr(headEnd + 4);
}

bool TestServer::Script(std::string_view path, const Response& response) const {
    std::string query = "script?path=" + UrlEncode(path) + "&status=" + std::to_string(response.status);
    if (!response.reason.empty()) query += "&reason=" + UrlEncode(response.reason);
    if (!response.encoding.empty()) query += "&encoding=" + response.encoding;
    if (response.delayMs > 0) query += "&delay_ms=" + std::to_string(response.delayMs);
    if (response.dropAfter >= 0) query += "&drop_after=" + std::to_string(response.dropAfter);
    if (response.noLength) query += "&no_length=1";
    if (!response.scheme.empty()) query += "&scheme=" + response.scheme;
    std::string payload;
    for (const std::string& line : response.headers) payload += line + "\r\n";
    payload += response.headers.empty() ? "\r\n\r\n" : "\r\n";
    payload += response.body;
    return Control("PUT", query, payload).has_value();
}

bool TestServer::ScriptRaw(std::string_view path, std::string_view wire, std::string_view scheme) const {
    std::string query = "script?raw=1&path=" + UrlEncode(path);
    if (!scheme.empty()) query += "&scheme=" + std::string(scheme);
    return Control("PUT", query, wire).has_value();
}

std::vector<RecordedRequest> TestServer::Requests(std::string_view path) const {
    std::vector<RecordedRequest> requests;
    const std::optional<std::string> answer = Control("GET", "requests?path=" + UrlEncode(path));
    if (!answer) return requests;
    std::string_view rest(*answer);
    auto line = [&rest]() {
        const size_t end = rest.find("\r\n");
        std::string text(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
        return text;
    };
    const int count = std::atoi(line().c_str());
    for (int i = 0; i < count; ++i) {
        std::istringstream fields(line());
        int id = 0;
        std::string scheme;
        size_t headSize = 0;
        size_t bodySize = 0;
        fields >> id >> scheme >> headSize >> bodySize;
        if (rest.size() < headSize + bodySize) break;
        std::string head(rest.substr(0, headSize));
        std::string body(rest.substr(headSize, bodySize));
        rest.remove_prefix(headSize + bodySize);
        requests.push_back(ParseRequest(id, std::move(scheme), std::move(head), std::move(body)));
    }
    return requests;
}

std::optional<RecordedRequest> TestServer::LastRequest(std::string_view path) const {
    std::vector<RecordedRequest> requests = Requests(path);
    if (requests.empty()) return std::nullopt;
    return std::move(requests.back());
}

int TestServer::RequestCount(std::string_view path) const {
    const std::optional<std::string> answer = Control("GET", "count?path=" + UrlEncode(path));
    return answer ? std::atoi(answer->c_str()) : -1;
}

std::string UniquePath(std::string_view stem) {
    static std::atomic<int> counter{0};
    return "/" + std::string(stem) + "/" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter);
}

std::string UrlEncode(std::string_view text) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '_' || byte == '.' || byte == '~' || byte == '/') {
            result += c;
        } else {
            result += '%';
            result += Hex[byte >> 4];
            result += Hex[byte & 15];
        }
    }
    return result;
}

}  // namespace testserver
