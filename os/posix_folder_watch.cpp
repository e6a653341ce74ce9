#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "os/folder_watch.h"
#include "os/inotify_records.h"

namespace segweld::os {
namespace {

// Closed-after-writing and moved-in files, new names (links give no close
// event), attribute changes (a copy that keeps times sets them after the
// close), and the folder itself going.
constexpr uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_ATTRIB |
                                   IN_MOVE_SELF | IN_DELETE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
// The folder's name in its parent: removed (the handle kept on the folder
// holds back the folder's own event until it is closed), or a folder of that
// name appearing while it is away.
constexpr uint32_t kParentEvents =
    IN_DELETE | IN_CREATE | IN_MOVED_TO | IN_MOVE_SELF | IN_DELETE_SELF | IN_ONLYDIR;
// Where the parent cannot be watched either, the path is looked at this often.
constexpr int kPathPollMs = 1000;

std::string SystemText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Reset(); }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_;
};

sigset_t TakenSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

class InotifyFolderWatch : public FolderWatch {
  public:
    InotifyFolderWatch(std::string folder, int inotify)
        : folder_(WithoutTrailingSlashes(std::move(folder))),
          baseName_(BaseNameOf(folder_)),
          inotify_(inotify) {}

    bool Start(std::string& error) {
        WatchParent();
        if (!WatchFolder()) {
            error = SystemText(("cannot watch " + folder_).c_str());
            return false;
        }
        const sigset_t taken = TakenSignals();
        if (pthread_sigmask(SIG_BLOCK, &taken, nullptr) != 0) {
            error = "cannot block SIGINT, SIGTERM and SIGHUP";
            return false;
        }
        signals_.Reset(signalfd(-1, &taken, SFD_NONBLOCK | SFD_CLOEXEC));
        if (signals_.get() < 0) {
            error = SystemText("signalfd");
            return false;
        }
        wake_.Reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        if (wake_.get() < 0) {
            error = SystemText("eventfd");
            return false;
        }
        return true;
    }

    WatchWakeUp Wait(std::optional<std::chrono::milliseconds> timeout) override {
        WatchWakeUp wakeUp;
        int waitMs =
            timeout ? static_cast<int>(std::clamp<int64_t>(timeout->count(), 0, INT_MAX)) : -1;
        if (polling_) {
            waitMs = waitMs < 0 ? kPathPollMs : std::min(waitMs, kPathPollMs);
        }
        pollfd fds[] = {
            {inotify_.get(), POLLIN, 0}, {signals_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        if (poll(fds, 3, waitMs) > 0) {
            if (fds[0].revents != 0) {
                ReadEvents(wakeUp.events);
            }
            if (fds[1].revents != 0) {
                ReadSignals(wakeUp);
            }
            if (fds[2].revents != 0) {
                uint64_t count = 0;
                [[maybe_unused]] const ssize_t got = read(wake_.get(), &count, sizeof count);
            }
        }
        if (folderWatch_ < 0) {
            LookForFolder(wakeUp.events);
        }
        return wakeUp;
    }

    void Wake() override {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t put = write(wake_.get(), &one, sizeof one);
    }

  private:
    bool WatchFolder() {
        const int watch = inotify_add_watch(inotify_.get(), folder_.c_str(), kFolderEvents);
        if (watch < 0) {
            return false;
        }
        folderWatch_ = watch;
        // Kept to tell, once the folder has moved, where it went; only where
        // the parent is watched, which tells when the folder is removed.
        if (parentWatch_ >= 0) {
            folderHandle_.Reset(open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        }
        return true;
    }

    // Where the folder that was watched is now; empty when that is unknown.
    std::string WhereFolderWent() const {
        if (folderHandle_.get() < 0) {
            return "";
        }
        std::string path(PATH_MAX, '\0');
        const std::string self = "/proc/self/fd/" + std::to_string(folderHandle_.get());
        const ssize_t length = readlink(self.c_str(), path.data(), path.size());
        if (length <= 0 || static_cast<size_t>(length) >= path.size()) {
            return "";
        }
        path.resize(static_cast<size_t>(length));
        return path.ends_with(" (deleted)") ? "" : path;
    }

    void LoseFolder(FolderEvent::Kind kind, std::vector<FolderEvent>& events, bool stillWatched) {
        const std::string where = kind == FolderEvent::Kind::FolderMoved ? WhereFolderWent() : "";
        events.push_back({where.empty() ? FolderEvent::Kind::FolderGone : kind, where});
        if (stillWatched) {
            inotify_rm_watch(inotify_.get(), folderWatch_);
        }
        folderWatch_ = -1;
        folderHandle_.Reset();
        if (parentWatch_ < 0) {
            WatchParent();
        }
        polling_ = parentWatch_ < 0;
    }

    void WatchParent() {
        parentWatch_ = inotify_add_watch(inotify_.get(), ParentOf(folder_).c_str(), kParentEvents);
    }

    // While the folder is away: watches it again as soon as one is there.
    void LookForFolder(std::vector<FolderEvent>& events) {
        if (IsFolder(folder_) && WatchFolder()) {
            polling_ = false;
            events.push_back({FolderEvent::Kind::FolderBack, {}});
        }
    }

    void ClassifyParent(const InotifyRecord& record, std::vector<FolderEvent>& events) {
        if ((record.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0) {
            inotify_rm_watch(inotify_.get(), parentWatch_);
            parentWatch_ = -1;  // the parent went too: look at the path from time to time
            polling_ = folderWatch_ < 0;
        } else if ((record.mask & IN_DELETE) != 0 && record.name == baseName_ &&
                   folderWatch_ >= 0) {
            LoseFolder(FolderEvent::Kind::FolderGone, events, true);
        }
    }

    void Classify(const InotifyRecord& record, std::vector<FolderEvent>& events) {
        using Kind = FolderEvent::Kind;
        if ((record.mask & IN_Q_OVERFLOW) != 0) {
            events.push_back({Kind::Overflow, {}});
        } else if (record.watch == parentWatch_ && parentWatch_ >= 0) {
            ClassifyParent(record, events);
        } else if (record.watch != folderWatch_ || folderWatch_ < 0) {
            // A watch dropped earlier: what it still delivers is stale.
        } else if ((record.mask & IN_MOVE_SELF) != 0) {
            LoseFolder(Kind::FolderMoved, events, true);
        } else if ((record.mask & (IN_DELETE_SELF | IN_UNMOUNT)) != 0) {
            LoseFolder(Kind::FolderGone, events, true);
        } else if ((record.mask & IN_IGNORED) != 0) {
            LoseFolder(Kind::FolderGone, events, false);
        } else if ((record.mask & IN_ISDIR) != 0 || record.name.empty()) {
            // Folders inside the watched one are not products.
        } else if ((record.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0) {
            events.push_back({Kind::FileClosed, record.name});
        } else if ((record.mask & IN_CREATE) != 0 && IsLinked(record.name)) {
            events.push_back({Kind::FileCreated, record.name});
        } else if ((record.mask & IN_ATTRIB) != 0) {
            events.push_back({Kind::FileChanged, record.name});
        }
    }

    // A new name that no close will follow: a symbolic link, or a hard link
    // to a file that has a name elsewhere too. A file made here is looked at
    // when its writer closes it.
    bool IsLinked(const std::string& name) const {
        struct stat info;
        const std::string path = folder_ + "/" + name;
        return lstat(path.c_str(), &info) == 0 &&
               (S_ISLNK(info.st_mode) || (S_ISREG(info.st_mode) && info.st_nlink > 1));
    }

    void ReadEvents(std::vector<FolderEvent>& events) {
        for (;;) {
            const ssize_t got = read(inotify_.get(), buffer_, sizeof buffer_);
            if (got <= 0) {
                return;  // EAGAIN: all read; EINTR: the next Wait() reads on
            }
            const auto records = ParseInotifyRecords(
                std::span(reinterpret_cast<const std::byte*>(buffer_), static_cast<size_t>(got)));
            for (const InotifyRecord& record : records) {
                Classify(record, events);
            }
        }
    }

    void ReadSignals(WatchWakeUp& wakeUp) {
        signalfd_siginfo info;
        while (read(signals_.get(), &info, sizeof info) == sizeof info) {
            if (info.ssi_signo == SIGHUP) {
                wakeUp.reloadRequested = true;
            } else {
                wakeUp.stopRequested = true;
            }
        }
    }

    const std::string folder_;
    const std::string baseName_;
    Descriptor inotify_;
    Descriptor signals_;
    Descriptor wake_;
    Descriptor folderHandle_;
    int folderWatch_ = -1;
    int parentWatch_ = -1;
    bool polling_ = false;
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
    auto watch = std::make_unique<InotifyFolderWatch>(folder, inotify);
    if (!watch->Start(error)) {
        return nullptr;
    }
    return watch;
}

}  // namespace segweld::os
