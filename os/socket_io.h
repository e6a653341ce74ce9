#pragma once

// The few socket calls the metrics endpoint makes itself around its HTTP
// library: waiting on a connection with a time limit, reading and writing
// it, and the options of the listening socket. Exactly one implementation is
// built: posix_socket_io.cpp or win32_socket_io.cpp.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace segweld::os {

// A socket as the system names it: a descriptor on POSIX, a SOCKET on Windows.
using SocketHandle = std::uintptr_t;

// Waits up to `timeout` until `socket` can be read (or written, with
// `forWriting`): 1 when it can, 0 when the time ran out, -1 on an error.
int WaitForSocket(SocketHandle socket, bool forWriting, std::chrono::milliseconds timeout);

// Up to `size` bytes read from, or written to, a connected socket: the count,
// 0 when the peer closed it (reading), -1 on an error.
std::ptrdiff_t ReadSocket(SocketHandle socket, char* buffer, size_t size);
std::ptrdiff_t WriteSocket(SocketHandle socket, const char* data, size_t size);

// Ends both directions of a connection, so that every wait on it ends; the
// socket stays open for its owner to close.
void ShutDownSocket(SocketHandle socket);
// Ends both directions of a connection and closes the socket.
void CloseSocket(SocketHandle socket);

// The address and port of the socket's own end, or of its peer's.
std::string SocketAddress(SocketHandle socket, bool peer, int& port);

// A listening socket that may be bound again at once after a restart, but
// never shares its port with another socket that listens on it.
void SetListeningOptions(SocketHandle socket);

// A connection that sends what it is given at once: an answer's head and
// body, written one after the other, must not wait for the peer's
// acknowledgement of the head.
void SendAtOnce(SocketHandle socket);

// The system's text for the last socket call that failed.
std::string LastSocketError();

// Whether every address `host` names is a loopback one (127.0.0.0/8, ::1);
// false with `error` when it names none.
bool IsLoopbackHost(const std::string& host, std::string& error);

// Lowers the scheduling priority of the calling thread alone, for a thread
// that must leave the processors to the joins.
void LowerThreadPriority();

}  // namespace segweld::os
