#pragma once

// Tells the service manager that started the process (systemd, Type=notify)
// how the service is doing, by the datagram protocol of sd_notify(3) on the
// socket named in $NOTIFY_SOCKET, without libsystemd. Exactly one
// implementation is built: posix_service_notify.cpp, or
// win32_service_notify.cpp, where no such manager exists and nothing is sent.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace segweld::os {

class ServiceNotifier {
  public:
    // Takes NOTIFY_SOCKET, WATCHDOG_USEC and WATCHDOG_PID from the environment
    // and removes them from it, so that no program this process starts (a
    // --then command) inherits them and talks to the manager in its name.
    // Changes the process's environment: call it once, before any thread
    // starts. Without NOTIFY_SOCKET, or with one this side cannot reach (not
    // an absolute path or "@" abstract name, or too long), the notifier is
    // inactive and every call below does nothing.
    static ServiceNotifier TakeFromEnvironment();

    // Inactive: sends nothing.
    ServiceNotifier() = default;
    ServiceNotifier(ServiceNotifier&& other) noexcept;
    ServiceNotifier& operator=(ServiceNotifier&& other) noexcept;
    ~ServiceNotifier();

    // True when a service manager listens.
    bool active() const { return socket_ >= 0; }

    // The manager's watchdog interval (WatchdogSec=): WATCHDOG_USEC, when
    // WATCHDOG_PID was unset or named this process. Nullopt when the
    // watchdog is off for this process.
    std::optional<std::chrono::microseconds> watchdogInterval() const { return watchdog_; }
    // How often to ping: half the interval (at least a millisecond), so a
    // ping that comes a little late is not yet too late. Nullopt when off.
    std::optional<std::chrono::milliseconds> WatchdogPingPeriod() const;

    // Each sends one message and returns the system's text when it could not
    // be sent; empty when it was sent or there is no manager. A text may hold
    // any character: a line break becomes a space, since it would end the
    // field. Safe to call from several threads at once. None blocks the
    // caller for long when the manager does not read: a watchdog ping finding
    // the manager's queue full is dropped at once (the next one follows), the
    // others wait up to a second for room.

    // READY=1 with STATUS=`status`: start-up is done (or a reload finished).
    std::string Ready(std::string_view status) const;
    // RELOADING=1 with MONOTONIC_USEC: the configuration is being read
    // again; Ready() ends the reload.
    std::string Reloading() const;
    // STATUS=`status`: a line systemctl status shows.
    std::string Status(std::string_view status) const;
    // STOPPING=1: the service is shutting down.
    std::string Stopping() const;
    // WATCHDOG=1: the main loop is alive. Sent from the loop itself, never
    // from a timer thread that would outlive a hung loop.
    std::string WatchdogPing() const;

  private:
    std::string Send(const std::string& message, bool waitForRoom = true) const;

    int socket_ = -1;      // a datagram socket, close-on-exec
    std::string address_;  // the manager's socket address, as sendto() takes it
    std::optional<std::chrono::microseconds> watchdog_;
};

}  // namespace segweld::os
