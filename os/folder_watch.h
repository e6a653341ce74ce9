#pragma once

// Files arriving in one folder, and the stop signals of the process, as the
// watch mode waits for them. Exactly one implementation is built:
// posix_folder_watch.cpp (inotify) or win32_folder_watch.cpp.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace segweld::os {

struct FolderEvent {
    enum class Kind {
        FileReady,   // a file was closed after writing, or moved in
        Overflow,    // events were lost: what the folder holds must be looked at anew
        FolderGone,  // the folder was removed or unmounted: nothing more will come
    };
    Kind kind = Kind::FileReady;
    std::string name;  // for FileReady: the name within the folder
};

struct WatchWakeUp {
    std::vector<FolderEvent> events;
    bool stopRequested = false;  // SIGINT or SIGTERM arrived
};

class FolderWatch {
  public:
    // Starts watching `folder` and takes over SIGINT and SIGTERM: they are
    // blocked in the calling thread and reported by Wait() instead of ending
    // the process. Call it before any thread starts, so that every thread
    // inherits the blocked signals. Nullptr with `error` set on failure.
    static std::unique_ptr<FolderWatch> Open(const std::string& folder, std::string& error);

    virtual ~FolderWatch() = default;

    // Waits until files arrive, a stop signal comes, Wake() is called or
    // `timeout` passes (never, when nullopt), without busy polling. The names
    // are only hints: a file may be gone by the time they are read.
    virtual WatchWakeUp Wait(std::optional<std::chrono::milliseconds> timeout) = 0;

    // Ends a Wait() under way, or the next one, early. Any thread may call it.
    virtual void Wake() = 0;
};

}  // namespace segweld::os
