// Windows has no service manager that listens on a socket (its Service
// Control Manager is driven through its own calls): nothing is sent.

#include <utility>

#include "os/service_notify.h"

namespace segweld::os {

ServiceNotifier ServiceNotifier::TakeFromEnvironment() {
    return ServiceNotifier();
}

ServiceNotifier::ServiceNotifier(ServiceNotifier&& other) noexcept
    : socket_(std::exchange(other.socket_, -1)),
      address_(std::move(other.address_)),
      watchdog_(std::exchange(other.watchdog_, std::nullopt)) {}

ServiceNotifier& ServiceNotifier::operator=(ServiceNotifier&& other) noexcept {
    socket_ = std::exchange(other.socket_, -1);
    address_ = std::move(other.address_);
    watchdog_ = std::exchange(other.watchdog_, std::nullopt);
    return *this;
}

ServiceNotifier::~ServiceNotifier() = default;

std::optional<std::chrono::milliseconds> ServiceNotifier::WatchdogPingPeriod() const {
    return std::nullopt;
}

std::string ServiceNotifier::Ready(std::string_view) const {
    return "";
}
std::string ServiceNotifier::Reloading() const {
    return "";
}
std::string ServiceNotifier::Status(std::string_view) const {
    return "";
}
std::string ServiceNotifier::Stopping() const {
    return "";
}
std::string ServiceNotifier::WatchdogPing() const {
    return "";
}
std::string ServiceNotifier::Send(const std::string&, bool) const {
    return "";
}

}  // namespace segweld::os
