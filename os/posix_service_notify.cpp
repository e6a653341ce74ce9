#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>
#include <utility>

#include "os/service_notify.h"

namespace segweld::os {
namespace {

// The address of the manager's socket as sendto() takes it: "/path" is a
// file, "@name" an abstract name (a leading zero byte to the kernel). Empty
// when the name is neither, or too long for an address.
std::string SocketAddress(const char* name) {
    if (name == nullptr) {
        return "";
    }
    const size_t length = std::strlen(name);
    sockaddr_un address{};
    if (length < 2 || length >= sizeof(address.sun_path) || (name[0] != '/' && name[0] != '@')) {
        return "";
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name, length);
    const bool abstract = name[0] == '@';
    if (abstract) {
        address.sun_path[0] = '\0';
    }
    // An abstract name is exactly its bytes; a path ends at its zero byte.
    const size_t size = offsetof(sockaddr_un, sun_path) + length + (abstract ? 0 : 1);
    return std::string(reinterpret_cast<const char*>(&address), size);
}

// A whole unsigned decimal number, as systemd writes them.
std::optional<uint64_t> Decimal(const char* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    const char* end = text + std::strlen(text);
    uint64_t value = 0;
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || stop == text) {
        return std::nullopt;
    }
    return value;
}

// The watchdog interval, when it is set and meant for this process: a
// WATCHDOG_PID of another process means the variables were inherited.
std::optional<std::chrono::microseconds> WatchdogOf(const char* interval, const char* owner) {
    const std::optional<uint64_t> microseconds = Decimal(interval);
    if (!microseconds || *microseconds == 0 ||
        *microseconds > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        return std::nullopt;
    }
    if (owner != nullptr && Decimal(owner) != static_cast<uint64_t>(getpid())) {
        return std::nullopt;
    }
    return std::chrono::microseconds(static_cast<int64_t>(*microseconds));
}

// `text` as the value of one field: a line break would end it early.
std::string Field(std::string_view text) {
    std::string field(text);
    std::replace(field.begin(), field.end(), '\n', ' ');
    return field;
}

}  // namespace

ServiceNotifier ServiceNotifier::TakeFromEnvironment() {
    const std::string address = SocketAddress(std::getenv("NOTIFY_SOCKET"));
    const std::optional<std::chrono::microseconds> watchdog =
        WatchdogOf(std::getenv("WATCHDOG_USEC"), std::getenv("WATCHDOG_PID"));
    for (const char* variable : {"NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"}) {
        unsetenv(variable);
    }
    ServiceNotifier notifier;
    if (address.empty()) {
        return notifier;
    }
    notifier.socket_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (notifier.socket_ >= 0) {
        notifier.address_ = address;
        notifier.watchdog_ = watchdog;
    }
    return notifier;
}

ServiceNotifier::ServiceNotifier(ServiceNotifier&& other) noexcept
    : socket_(std::exchange(other.socket_, -1)),
      address_(std::move(other.address_)),
      watchdog_(std::exchange(other.watchdog_, std::nullopt)) {}

ServiceNotifier& ServiceNotifier::operator=(ServiceNotifier&& other) noexcept {
    if (this != &other) {
        if (socket_ >= 0) {
            close(socket_);
        }
        socket_ = std::exchange(other.socket_, -1);
        address_ = std::move(other.address_);
        watchdog_ = std::exchange(other.watchdog_, std::nullopt);
    }
    return *this;
}

ServiceNotifier::~ServiceNotifier() {
    if (socket_ >= 0) {
        close(socket_);
    }
}

std::optional<std::chrono::milliseconds> ServiceNotifier::WatchdogPingPeriod() const {
    if (!watchdog_) {
        return std::nullopt;
    }
    const auto half = std::chrono::duration_cast<std::chrono::milliseconds>(*watchdog_ / 2);
    return std::max(half, std::chrono::milliseconds(1));
}

std::string ServiceNotifier::Ready(std::string_view status) const {
    return Send(status.empty() ? "READY=1" : "READY=1\nSTATUS=" + Field(status));
}

std::string ServiceNotifier::Reloading() const {
    // The manager orders this message against its own clock.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t microseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
    return Send("RELOADING=1\nMONOTONIC_USEC=" + std::to_string(microseconds));
}

std::string ServiceNotifier::Status(std::string_view status) const {
    return Send("STATUS=" + Field(status));
}

std::string ServiceNotifier::Stopping() const {
    return Send("STOPPING=1");
}

std::string ServiceNotifier::WatchdogPing() const {
    return Send("WATCHDOG=1", false);
}

// Never a blocking send: a manager that does not read (or a socket someone
// else bound) must not stop the loop that would answer SIGTERM.
std::string ServiceNotifier::Send(const std::string& message, bool waitForRoom) const {
    if (socket_ < 0) {
        return "";
    }
    const auto* address = reinterpret_cast<const sockaddr*>(address_.data());
    constexpr int kTriesForRoom = 100;  // 10 ms apart
    for (int tries = 0;;) {
        const ssize_t sent =
            sendto(socket_, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT, address,
                   static_cast<socklen_t>(address_.size()));
        if (sent == static_cast<ssize_t>(message.size())) {
            return "";
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitForRoom && ++tries < kTriesForRoom) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            return "the service manager's queue is full; the message was dropped";
        }
        return sent < 0 ? std::strerror(errno) : "the message was cut short";
    }
}

}  // namespace segweld::os
