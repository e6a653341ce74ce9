#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "os/folder_watch.h"
#include "os/inotify_records.h"

namespace segweld::os {
namespace {

constexpr uint32_t kWatchedEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE_SELF | IN_ONLYDIR;

std::string SystemText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

class InotifyFolderWatch : public FolderWatch {
  public:
    InotifyFolderWatch(int inotify, int signals, int wake)
        : inotify_(inotify), signals_(signals), wake_(wake) {}

    WatchWakeUp Wait(std::optional<std::chrono::milliseconds> timeout) override {
        WatchWakeUp wakeUp;
        pollfd fds[] = {
            {inotify_.get(), POLLIN, 0}, {signals_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        const int waitMs = timeout ? static_cast<int>(std::max<int64_t>(timeout->count(), 0)) : -1;
        if (poll(fds, 3, waitMs) <= 0) {
            return wakeUp;  // timed out, or EINTR: the caller looks again
        }
        if (fds[0].revents != 0) {
            ReadEvents(wakeUp.events);
        }
        if (fds[1].revents != 0) {
            signalfd_siginfo info;
            while (read(signals_.get(), &info, sizeof info) == sizeof info) {
                wakeUp.stopRequested = true;
            }
        }
        if (fds[2].revents != 0) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(wake_.get(), &count, sizeof count);
        }
        return wakeUp;
    }

    void Wake() override {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t put = write(wake_.get(), &one, sizeof one);
    }

  private:
    void ReadEvents(std::vector<FolderEvent>& events) {
        for (;;) {
            const ssize_t got = read(inotify_.get(), buffer_, sizeof buffer_);
            if (got <= 0) {
                return;  // EAGAIN: all read; EINTR: the next Wait() reads on
            }
            ParseInotifyRecords(
                std::span(reinterpret_cast<const std::byte*>(buffer_), static_cast<size_t>(got)),
                events);
        }
    }

    Descriptor inotify_;
    Descriptor signals_;
    Descriptor wake_;
    // Room for many records at once; one record needs at most NAME_MAX + 1 after its head.
    alignas(inotify_event) char buffer_[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
};

}  // namespace

std::unique_ptr<FolderWatch> FolderWatch::Open(const std::string& folder, std::string& error) {
    const int inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify < 0) {
        error = SystemText("inotify_init1");
        return nullptr;
    }
    Descriptor inotifyOwner(inotify);
    if (inotify_add_watch(inotify, folder.c_str(), kWatchedEvents) < 0) {
        error = SystemText(("cannot watch " + folder).c_str());
        return nullptr;
    }
    const sigset_t stopSignals = StopSignals();
    if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        error = "cannot block SIGINT and SIGTERM";
        return nullptr;
    }
    const int signals = signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signals < 0) {
        error = SystemText("signalfd");
        return nullptr;
    }
    Descriptor signalsOwner(signals);
    const int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0) {
        error = SystemText("eventfd");
        return nullptr;
    }
    return std::make_unique<InotifyFolderWatch>(inotifyOwner.release(), signalsOwner.release(),
                                                wake);
}

}  // namespace segweld::os
