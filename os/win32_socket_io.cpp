#include <winsock2.h>
// After winsock2.h, which they need.
#include <windows.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "os/socket_io.h"
#include "os/win32_text.h"

namespace segweld::os {
namespace {

SOCKET Native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

int Clamped(size_t size) {
    return static_cast<int>(std::min<size_t>(size, 1 << 30));
}

bool IsLoopback(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        return (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
    }
    if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        return IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
    }
    return false;
}

// Windows Sockets must be started before the first call; once per process.
void StartSockets() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

}  // namespace

int WaitForSocket(SocketHandle socket, bool forWriting, std::chrono::milliseconds timeout) {
    WSAPOLLFD watched{Native(socket), static_cast<SHORT>(forWriting ? POLLOUT : POLLIN), 0};
    const int ready = WSAPoll(&watched, 1, static_cast<INT>(std::max<int64_t>(timeout.count(), 0)));
    return ready == SOCKET_ERROR ? -1 : ready > 0 ? 1 : 0;
}

std::ptrdiff_t ReadSocket(SocketHandle socket, char* buffer, size_t size) {
    const int got = recv(Native(socket), buffer, Clamped(size), 0);
    return got == SOCKET_ERROR ? -1 : got;
}

std::ptrdiff_t WriteSocket(SocketHandle socket, const char* data, size_t size) {
    const int sent = send(Native(socket), data, Clamped(size), 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

void ShutDownSocket(SocketHandle socket) {
    shutdown(Native(socket), SD_BOTH);
}

void CloseSocket(SocketHandle socket) {
    shutdown(Native(socket), SD_BOTH);
    closesocket(Native(socket));
}

std::string SocketAddress(SocketHandle socket, bool peer, int& port) {
    sockaddr_storage address{};
    int length = sizeof address;
    auto* any = reinterpret_cast<sockaddr*>(&address);
    port = 0;
    if ((peer ? getpeername(Native(socket), any, &length)
              : getsockname(Native(socket), any, &length)) != 0) {
        return "";
    }
    char host[NI_MAXHOST] = "";
    char service[NI_MAXSERV] = "";
    if (getnameinfo(any, length, host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return "";
    }
    port = std::atoi(service);
    return host;
}

void SetListeningOptions(SocketHandle socket) {
    // Without it another program could bind the same port beside this one.
    const BOOL yes = TRUE;
    setsockopt(Native(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
               sizeof yes);
}

void SendAtOnce(SocketHandle socket) {
    const BOOL yes = TRUE;
    setsockopt(Native(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes),
               sizeof yes);
}

std::string LastSocketError() {
    // The usual ones in the words of the POSIX side, which Wine lacks texts for.
    switch (const int code = WSAGetLastError()) {
        case WSAEADDRINUSE:
            return "Address already in use";
        case WSAEADDRNOTAVAIL:
            return "Cannot assign requested address";
        case WSAEACCES:
            return "Permission denied";
        default:
            return SystemText(static_cast<DWORD>(code));
    }
}

bool IsLoopbackHost(const std::string& host, std::string& error) {
    StartSockets();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (const int code = getaddrinfo(host.c_str(), nullptr, &hints, &found); code != 0) {
        error = SystemText(static_cast<DWORD>(code));
        return false;
    }
    bool loopback = true;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        loopback = loopback && IsLoopback(address->ai_addr);
    }
    freeaddrinfo(found);
    return loopback;
}

void LowerThreadPriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

}  // namespace segweld::os
