#pragma once

// Files arriving in one folder, and the stop and reload signals of the
// process, as the watch mode waits for them. Exactly one implementation is
// built: posix_folder_watch.cpp (inotify) or win32_folder_watch.cpp.
//
// The folder is watched as a path, not as the folder that first had it: when
// it is renamed, moved or removed, the watch says so and waits for a folder
// to appear at the same path again, then watches that one.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace segweld::os {

struct FolderEvent {
    enum class Kind {
        FileClosed,   // a file was closed after writing, or moved or renamed in
        FileCreated,  // a new name: a hard or symbolic link, or a file still being written
        FileChanged,  // a file's attributes changed (its time set after a copy, say)
        Overflow,     // events were lost: what the folder holds must be looked at anew
        FolderMoved,  // the folder was renamed or moved away; `name`: where to, when known
        FolderGone,   // the folder was removed or its file system unmounted
        FolderBack,   // a folder is at the watched path again: look at what it holds
    };
    Kind kind = Kind::FileClosed;
    std::string name;  // for the file kinds: the name within the folder
};

struct WatchWakeUp {
    std::vector<FolderEvent> events;
    bool stopRequested = false;    // SIGINT or SIGTERM arrived (Ctrl+C and the like on Windows)
    bool reloadRequested = false;  // SIGHUP arrived
};

class FolderWatch {
  public:
    // Starts watching `folder` and takes over SIGINT, SIGTERM and SIGHUP:
    // they are blocked in the calling thread and reported by Wait() instead
    // of ending the process, those that came while they were held too. No
    // thread may have them open: the program holds them from its start
    // (os::HoldInterrupts), so that every thread, whoever starts it, inherits
    // them blocked. Nullptr with `error` set on failure.
    static std::unique_ptr<FolderWatch> Open(const std::string& folder, std::string& error);

    virtual ~FolderWatch() = default;

    // Waits until files arrive, the folder goes or comes back, a signal
    // comes, Wake() is called or `timeout` passes (never, when nullopt),
    // without busy polling. The names are only hints: a file may be gone by
    // the time they are read.
    virtual WatchWakeUp Wait(std::optional<std::chrono::milliseconds> timeout) = 0;

    // Ends a Wait() under way, or the next one, early. Any thread may call it.
    virtual void Wake() = 0;
};

}  // namespace segweld::os
