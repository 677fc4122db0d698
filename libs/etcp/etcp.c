/* etcp.dll: a small blocking TCP helper over Winsock. Every entry is standard-call and
   exported by ordinal only; sockets travel as 32-bit handles, -1 meaning none. */
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#define TCP_NO_SOCKET (-1)

static int TcpPortNumber(int port) { return port >= 0 && port <= 65535; }

/* Fills `address` from a dotted IPv4 text or a host name; a null or empty text means
   any local address. */
static int TcpResolve(const char* host, int port, struct sockaddr_in* address)
{
    if (!TcpPortNumber(port)) return 0;
    address->sin_family = AF_INET;
    address->sin_port = htons((u_short)port);
    address->sin_addr.s_addr = htonl(INADDR_ANY);
    if (host == 0 || host[0] == 0) return 1;
    unsigned long numeric = inet_addr(host);
    if (numeric != INADDR_NONE) {
        address->sin_addr.s_addr = numeric;
        return 1;
    }
    struct hostent* entry = gethostbyname(host);
    if (entry == 0 || entry->h_addrtype != AF_INET || entry->h_addr_list[0] == 0) return 0;
    address->sin_addr.s_addr = *(const unsigned long*)entry->h_addr_list[0];
    return 1;
}

static void TcpZero(void* target, int length)
{
    volatile unsigned char* bytes = (volatile unsigned char*)target;
    while (length-- > 0) *bytes++ = 0;
}

int WINAPI TcpStartup(void)
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

int WINAPI TcpCleanup(void) { return WSACleanup() == 0; }

int WINAPI TcpConnect(const char* host, int port)
{
    struct sockaddr_in address;
    TcpZero(&address, sizeof address);
    if (host == 0 || host[0] == 0 || !TcpResolve(host, port, &address)) return TCP_NO_SOCKET;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return TCP_NO_SOCKET;
    if (connect(s, (struct sockaddr*)&address, sizeof address) != 0) {
        closesocket(s);
        return TCP_NO_SOCKET;
    }
    return (int)s;
}

int WINAPI TcpListen(const char* host, int port, int backlog)
{
    struct sockaddr_in address;
    TcpZero(&address, sizeof address);
    if (!TcpResolve(host, port, &address)) return TCP_NO_SOCKET;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return TCP_NO_SOCKET;
    if (bind(s, (struct sockaddr*)&address, sizeof address) != 0 ||
        listen(s, backlog > 0 ? backlog : SOMAXCONN) != 0) {
        closesocket(s);
        return TCP_NO_SOCKET;
    }
    return (int)s;
}

/* `peerAddress`, when given, receives the peer's dotted address (16 bytes are enough). */
int WINAPI TcpAccept(int listener, char* peerAddress, int* peerPort)
{
    struct sockaddr_in address;
    int length = sizeof address;
    TcpZero(&address, sizeof address);
    SOCKET s = accept((SOCKET)listener, (struct sockaddr*)&address, &length);
    if (s == INVALID_SOCKET) return TCP_NO_SOCKET;
    if (peerAddress != 0) {
        const char* text = inet_ntoa(address.sin_addr);
        int i = 0;
        for (; text != 0 && text[i] != 0 && i < 15; ++i) peerAddress[i] = text[i];
        peerAddress[i] = 0;
    }
    if (peerPort != 0) *peerPort = ntohs(address.sin_port);
    return (int)s;
}

/* Sends all `length` bytes; answers the count sent, or -1 when the connection failed
   before anything went out. */
int WINAPI TcpSend(int s, const void* data, int length)
{
    const char* bytes = (const char*)data;
    int sent = 0;
    while (sent < length) {
        int step = send((SOCKET)s, bytes + sent, length - sent, 0);
        if (step <= 0) return sent > 0 ? sent : -1;
        sent += step;
    }
    return sent;
}

/* Bytes received (at most `capacity`), 0 when the peer closed, -1 on failure. */
int WINAPI TcpReceive(int s, void* buffer, int capacity)
{
    if (capacity <= 0) return -1;
    int got = recv((SOCKET)s, (char*)buffer, capacity, 0);
    return got == SOCKET_ERROR ? -1 : got;
}

int WINAPI TcpClose(int s) { return closesocket((SOCKET)s) == 0; }

int WINAPI TcpLocalPort(int s)
{
    struct sockaddr_in address;
    int length = sizeof address;
    TcpZero(&address, sizeof address);
    if (getsockname((SOCKET)s, (struct sockaddr*)&address, &length) != 0) return -1;
    return ntohs(address.sin_port);
}

int WINAPI TcpSetTimeout(int s, int receiveMilliseconds, int sendMilliseconds)
{
    DWORD receive = (DWORD)receiveMilliseconds, sendLimit = (DWORD)sendMilliseconds;
    return setsockopt((SOCKET)s, SOL_SOCKET, SO_RCVTIMEO, (const char*)&receive, sizeof receive) == 0 &&
           setsockopt((SOCKET)s, SOL_SOCKET, SO_SNDTIMEO, (const char*)&sendLimit, sizeof sendLimit) == 0;
}

int WINAPI TcpSetNoDelay(int s, int on)
{
    BOOL value = on ? TRUE : FALSE;
    return setsockopt((SOCKET)s, IPPROTO_TCP, TCP_NODELAY, (const char*)&value, sizeof value) == 0;
}

/* 1 when data (or the peer's close) is waiting, 0 after the timeout, -1 on failure. */
int WINAPI TcpWaitReadable(int s, int timeoutMilliseconds)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET((SOCKET)s, &readable);
    struct timeval limit;
    limit.tv_sec = timeoutMilliseconds / 1000;
    limit.tv_usec = (timeoutMilliseconds % 1000) * 1000;
    int ready = select(0, &readable, 0, 0, timeoutMilliseconds < 0 ? 0 : &limit);
    return ready == SOCKET_ERROR ? -1 : (ready > 0 ? 1 : 0);
}

int WINAPI TcpLastError(void) { return WSAGetLastError(); }

BOOL WINAPI TcpLibraryMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    (void)module;
    (void)reason;
    (void)reserved;
    return TRUE;
}
