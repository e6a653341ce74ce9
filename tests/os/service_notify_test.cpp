// The notify protocol against a datagram socket the test listens on, as the
// service manager would: a path socket and an abstract one.

#include "os/service_notify.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "os/run_command.h"
#include "tests/support/temp_folder.h"

namespace segweld::os {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// A bound datagram socket, named as NOTIFY_SOCKET names it: "/path" or "@name".
class ManagerSocket {
  public:
    explicit ManagerSocket(const std::string& name) : socket_(socket(AF_UNIX, SOCK_DGRAM, 0)) {
        sockaddr_un address{AF_UNIX, {}};
        name.copy(address.sun_path, name.size());
        address.sun_path[0] = name[0] == '@' ? '\0' : name[0];
        const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
        EXPECT_EQ(bind(socket_, reinterpret_cast<sockaddr*>(&address), size), 0) << name;
        setenv("NOTIFY_SOCKET", name.c_str(), 1);
    }
    ~ManagerSocket() { close(socket_); }

    // The next message, "" when none waits: a datagram is queued before sendto() returns.
    std::string Next() const {
        char buffer[4096];
        const ssize_t size = recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
        return size < 0 ? "" : std::string(buffer, static_cast<size_t>(size));
    }

  private:
    int socket_;
};

// CLOCK_MONOTONIC, the manager's clock.
uint64_t MonotonicMicroseconds() {
    return static_cast<uint64_t>(std::chrono::duration_cast<microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

class ServiceNotifyTest : public testing::TestWithParam<bool> {
  protected:
    std::string SocketName() const {
        return GetParam() ? "@segweld-test-" + std::to_string(getpid()) : folder_ / "notify";
    }
    test::TempFolder folder_;
};

TEST_P(ServiceNotifyTest, SendsEachMessageAsOneDatagram) {
    const ManagerSocket manager(SocketName());
    const ServiceNotifier notifier = ServiceNotifier::TakeFromEnvironment();
    ASSERT_TRUE(notifier.active());
    const struct {
        std::function<std::string()> send;
        const char* expected;
    } rows[] = {
        {[&] { return notifier.Ready("3 products waiting"); },
         "READY=1\nSTATUS=3 products waiting"},
        {[&] { return notifier.Ready(""); }, "READY=1"},
        {[&] { return notifier.Status("joined\nK"); }, "STATUS=joined K"},
        {[&] { return notifier.Stopping(); }, "STOPPING=1"},
        {[&] { return notifier.WatchdogPing(); }, "WATCHDOG=1"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.send(), "");
        EXPECT_EQ(manager.Next(), row.expected);
    }
    const uint64_t before = MonotonicMicroseconds();
    EXPECT_EQ(notifier.Reloading(), "");
    const uint64_t after = MonotonicMicroseconds();
    const std::string reloading = manager.Next();
    ASSERT_THAT(reloading, testing::MatchesRegex("RELOADING=1\nMONOTONIC_USEC=[0-9]+"));
    const uint64_t stamp = std::stoull(reloading.substr(reloading.rfind('=') + 1));
    EXPECT_TRUE(before <= stamp && stamp <= after) << before << " " << stamp << " " << after;
    EXPECT_EQ(manager.Next(), "") << "one datagram per message";
}

INSTANTIATE_TEST_SUITE_P(PathAndAbstract, ServiceNotifyTest, testing::Bool());

TEST(ServiceNotify, ChildrenDoNotInheritTheManager) {
    test::TempFolder folder;
    const ManagerSocket manager(folder / "notify");
    setenv("WATCHDOG_USEC", "4000000", 1);
    setenv("WATCHDOG_PID", std::to_string(getpid()).c_str(), 1);
    EXPECT_TRUE(ServiceNotifier::TakeFromEnvironment().active());
    const CommandOutcome child = RunCommand(
        {"/bin/sh", "-c", "test -z \"${NOTIFY_SOCKET+1}${WATCHDOG_USEC+1}${WATCHDOG_PID+1}\""});
    EXPECT_EQ(child.exitStatus, 0) << "a child sees the manager's variables " << child.error;
}

// A socket that cannot be used leaves the notifier inactive, sending and
// reporting nothing; one that can but where nobody listens says why.
TEST(ServiceNotify, UnusableSocketsAndUndeliveredMessages) {
    test::TempFolder folder;
    const std::string nobody = folder / "nobody";
    for (const std::string& value :
         std::vector<std::string>{"", "relative/notify", "@", "/", "vsock:2:1234",
                                  "/" + std::string(120, 'x'), nobody}) {
        SCOPED_TRACE(value);
        setenv("NOTIFY_SOCKET", value.c_str(), 1);
        setenv("WATCHDOG_USEC", "4000000", 1);
        const ServiceNotifier notifier = ServiceNotifier::TakeFromEnvironment();
        EXPECT_EQ(std::getenv("NOTIFY_SOCKET"), nullptr);
        const bool usable = value == nobody;
        EXPECT_EQ(notifier.active(), usable);
        EXPECT_EQ(notifier.watchdogInterval().has_value(), usable);
        const std::string error = notifier.Ready("ready");
        EXPECT_EQ(error.empty(), !usable) << error;
        EXPECT_THAT(error, testing::AnyOf("", testing::HasSubstr("No such file")));
    }
}

// A manager that does not read fills its queue; then a ping is dropped at
// once and another message after a short wait, both saying so, and the
// caller goes on.
TEST(ServiceNotify, AFullQueueDropsMessagesInsteadOfBlocking) {
    test::TempFolder folder;
    const ManagerSocket manager(folder / "notify");
    const ServiceNotifier notifier = ServiceNotifier::TakeFromEnvironment();
    std::string pinged;
    for (int ping = 0; ping < 5000 && pinged.empty(); ++ping) {
        pinged = notifier.WatchdogPing();
    }
    EXPECT_THAT(pinged, testing::HasSubstr("queue is full"));
    EXPECT_THAT(notifier.Stopping(), testing::HasSubstr("queue is full"));
    EXPECT_EQ(manager.Next(), "WATCHDOG=1");
    EXPECT_EQ(notifier.Stopping(), "") << "room again once the manager read";
}

TEST(ServiceNotify, WatchdogOnlyForThisProcess) {
    test::TempFolder folder;
    const std::string self = std::to_string(getpid());
    const struct {
        const char* interval;  // WATCHDOG_USEC
        std::string owner;     // WATCHDOG_PID; "unset" leaves it out
        std::optional<microseconds> expected;
        std::optional<milliseconds> pingPeriod;
    } rows[] = {
        {"3000000", self, microseconds(3000000), milliseconds(1500)},
        {"3000000", "unset", microseconds(3000000), milliseconds(1500)},
        {"3000000", "1", std::nullopt, std::nullopt},  // inherited from another process
        {"3000000", self + "7", std::nullopt, std::nullopt},
        {"999", self, microseconds(999), milliseconds(1)},  // never a zero wait
        {"0", self, std::nullopt, std::nullopt},
        {"-3000000", self, std::nullopt, std::nullopt},
        {"3s", self, std::nullopt, std::nullopt},
        {"9223372036854775808", self, std::nullopt, std::nullopt},  // past a signed 64-bit count
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.interval) + " for " + row.owner);
        const ManagerSocket manager(folder / "notify");
        setenv("WATCHDOG_USEC", row.interval, 1);
        if (row.owner != "unset") {
            setenv("WATCHDOG_PID", row.owner.c_str(), 1);
        }
        const ServiceNotifier notifier = ServiceNotifier::TakeFromEnvironment();
        EXPECT_EQ(notifier.watchdogInterval(), row.expected);
        EXPECT_EQ(notifier.WatchdogPingPeriod(), row.pingPeriod);
        EXPECT_EQ(std::getenv("WATCHDOG_USEC"), nullptr);
        EXPECT_EQ(std::getenv("WATCHDOG_PID"), nullptr);
        std::remove((folder / "notify").c_str());
    }
}

}  // namespace
}  // namespace segweld::os
