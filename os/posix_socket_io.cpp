#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "os/socket_io.h"

namespace segweld::os {
namespace {

int Descriptor(SocketHandle socket) {
    return static_cast<int>(socket);
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

}  // namespace

int WaitForSocket(SocketHandle socket, bool forWriting, std::chrono::milliseconds timeout) {
    pollfd watched{Descriptor(socket), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
    for (;;) {
        const int ready =
            poll(&watched, 1, static_cast<int>(std::max<int64_t>(timeout.count(), 0)));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready < 0 ? -1 : ready > 0 ? 1 : 0;
    }
}

std::ptrdiff_t ReadSocket(SocketHandle socket, char* buffer, size_t size) {
    for (;;) {
        const ssize_t got = recv(Descriptor(socket), buffer, size, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got;
    }
}

std::ptrdiff_t WriteSocket(SocketHandle socket, const char* data, size_t size) {
    for (;;) {
        const ssize_t sent = send(Descriptor(socket), data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        return sent;
    }
}

void ShutDownSocket(SocketHandle socket) {
    shutdown(Descriptor(socket), SHUT_RDWR);
}

void CloseSocket(SocketHandle socket) {
    shutdown(Descriptor(socket), SHUT_RDWR);
    close(Descriptor(socket));
}

std::string SocketAddress(SocketHandle socket, bool peer, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    auto* any = reinterpret_cast<sockaddr*>(&address);
    port = 0;
    if ((peer ? getpeername(Descriptor(socket), any, &length)
              : getsockname(Descriptor(socket), any, &length)) != 0) {
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
    // SO_REUSEADDR alone: a port that another socket listens on is refused.
    const int yes = 1;
    setsockopt(Descriptor(socket), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

void SendAtOnce(SocketHandle socket) {
    const int yes = 1;
    setsockopt(Descriptor(socket), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

std::string LastSocketError() {
    return std::strerror(errno);
}

bool IsLoopbackHost(const std::string& host, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (const int code = getaddrinfo(host.c_str(), nullptr, &hints, &found); code != 0) {
        error = gai_strerror(code);
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
#ifdef __linux__
    // On Linux the nice value belongs to the thread named.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#endif
}

}  // namespace segweld::os
