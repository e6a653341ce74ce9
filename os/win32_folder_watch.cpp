// The folder watch on Windows: one overlapped ReadDirectoryChangesW on the
// folder, re-armed after each completion, and a look at the path once a
// second, which tells when the folder that is watched is no longer the one
// at the path (renamed, moved or removed: the system tells nothing of that
// to a watch on the folder itself) and when a folder is there again.

#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <utility>

#include "os/directory_changes.h"
#include "os/folder_watch.h"
#include "os/win32_text.h"
#include "os/win32_watch_control.h"

namespace segweld::os {
namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// New names, writes and the time or attributes set after a copy.
constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE |
                           FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_ATTRIBUTES;
// The largest buffer that works over SMB too: some 480 records of segment
// names per read; more changes between two reads make the system report an
// overflow, and the folder is looked at anew.
constexpr DWORD kBufferBytes = 64 * 1024;
constexpr auto kLookInterval = std::chrono::seconds(1);

struct Identity {
    DWORD volume = 0;
    uint64_t index = 0;
    friend bool operator==(const Identity&, const Identity&) = default;
};

std::optional<Identity> FolderIdentityOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION data;
    if (!GetFileInformationByHandle(handle, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return std::nullopt;
    }
    return Identity{data.dwVolumeSerialNumber,
                    (uint64_t{data.nFileIndexHigh} << 32) | data.nFileIndexLow};
}

// The folder at `path` now; nothing when there is none (or it cannot be opened).
std::optional<Identity> FolderIdentityAt(const std::wstring& path) {
    const HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const auto identity = FolderIdentityOf(handle);
    CloseHandle(handle);
    return identity;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring FullPathOf(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) {
        return path;
    }
    full.resize(written);
    // "C:\" keeps its separator; any other folder loses it.
    while (full.size() > 3 && IsSeparator(full.back())) {
        full.pop_back();
    }
    return full;
}

std::wstring ParentOf(const std::wstring& full) {
    const size_t separator = full.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring(L".") : full.substr(0, separator + 1);
}

// What GetFinalPathNameByHandleW gives, without the "\\?\" it puts in front.
std::wstring FinalPathOf(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(
            handle, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
        if (length == 0) {
            return L"";
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length + 1);
    }
    if (path.starts_with(L"\\\\?\\UNC\\")) {
        return L"\\\\" + path.substr(8);
    }
    return path.starts_with(L"\\\\?\\") ? path.substr(4) : path;
}

// Name, size and time of every file in a folder, for a folder whose file
// system cannot report its changes: the changes are found by comparing two
// looks.
using Snapshot = std::map<std::wstring, std::pair<uint64_t, uint64_t>>;

Snapshot SnapshotOf(const std::wstring& folder) {
    Snapshot snapshot;
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        return snapshot;
    }
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            snapshot[data.cFileName] = {(uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                                        (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                            data.ftLastWriteTime.dwLowDateTime};
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return snapshot;
}

class DirectoryChangesWatch : public FolderWatch {
  public:
    explicit DirectoryChangesWatch(std::wstring path)
        : path_(FullPathOf(path)),
          changed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

    ~DirectoryChangesWatch() override {
        CloseFolder();
        CloseHandle(changed_);
        CloseHandle(wake_);
        WatchEnded();
    }

    bool Start(std::string& error) {
        if (changed_ == nullptr || wake_ == nullptr) {
            error = "cannot create an event: " + SystemText(GetLastError());
            return false;
        }
        if (!OpenFolder()) {
            error = "cannot watch " + Narrow(path_) + ": " + SystemText(GetLastError());
            return false;
        }
        TakeConsoleControls();
        lastLook_ = Clock::now();
        return true;
    }

    WatchWakeUp Wait(std::optional<std::chrono::milliseconds> timeout) override {
        WatchReady();
        WatchWakeUp wakeUp;
        const Clock::time_point deadline =
            timeout ? Clock::now() + *timeout : Clock::time_point::max();
        for (;;) {
            const Clock::time_point until = std::min(lastLook_ + kLookInterval, deadline);
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
            const HANDLE handles[] = {WatchStopEvent(), wake_, changed_};
            const DWORD waited =
                WaitForMultipleObjects(pending_ ? 3 : 2, handles, FALSE,
                                       static_cast<DWORD>(std::max<int64_t>(left.count(), 0)));
            bool woken = waited == WAIT_FAILED;
            if (waited == WAIT_OBJECT_0) {
                wakeUp.stopRequested = true;
            } else if (waited == WAIT_OBJECT_0 + 1) {
                woken = true;
            } else if (waited == WAIT_OBJECT_0 + 2) {
                TakeChanges(wakeUp.events);
            }
            if (Clock::now() >= lastLook_ + kLookInterval) {
                lastLook_ = Clock::now();
                LookAtPath(wakeUp.events);
            }
            if (wakeUp.stopRequested || woken || !wakeUp.events.empty() ||
                Clock::now() >= deadline) {
                return wakeUp;
            }
        }
    }

    void Wake() override { SetEvent(wake_); }

  private:
    bool OpenFolder() {
        const HANDLE handle =
            CreateFileW(path_.c_str(), FILE_LIST_DIRECTORY, kShareAll, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return false;
        }
        const auto identity = FolderIdentityOf(handle);
        if (!identity) {
            CloseHandle(handle);
            SetLastError(ERROR_DIRECTORY);
            return false;
        }
        folder_ = handle;
        identity_ = *identity;
        // A file system that cannot report changes (ERROR_INVALID_FUNCTION,
        // some network redirectors) is compared with itself once a second.
        polling_ = !Arm();
        if (polling_) {
            snapshot_ = SnapshotOf(path_);
        }
        return true;
    }

    void CloseFolder() {
        if (folder_ == INVALID_HANDLE_VALUE) {
            return;
        }
        if (pending_) {
            // The read must be over before its buffer is used again.
            CancelIoEx(folder_, &overlapped_);
            DWORD ignored = 0;
            GetOverlappedResult(folder_, &overlapped_, &ignored, TRUE);
            pending_ = false;
        }
        CloseHandle(folder_);
        folder_ = INVALID_HANDLE_VALUE;
    }

    bool Arm() {
        overlapped_ = OVERLAPPED{};
        overlapped_.hEvent = changed_;
        ResetEvent(changed_);
        pending_ = ReadDirectoryChangesW(folder_, buffer_.data(), kBufferBytes, FALSE, kChanges,
                                         nullptr, &overlapped_, nullptr) != FALSE;
        return pending_;
    }

    void TakeChanges(std::vector<FolderEvent>& events) {
        DWORD got = 0;
        const bool done = GetOverlappedResult(folder_, &overlapped_, &got, FALSE) != FALSE;
        const DWORD error = done ? ERROR_SUCCESS : GetLastError();
        if (!done && error == ERROR_IO_INCOMPLETE) {
            return;
        }
        pending_ = false;
        if (done) {
            for (FolderEvent& event : FolderEventsOf(std::span(buffer_.data(), got))) {
                event.name = LongName(event.name);
                events.push_back(std::move(event));
            }
        } else if (error == ERROR_NOTIFY_ENUM_DIR) {
            events.push_back({FolderEvent::Kind::Overflow, {}});
        } else {
            // Removed (access denied, delete pending), or a read that fails:
            // the path is looked at now, and a folder still there is compared
            // with itself from now on.
            lastLook_ = Clock::now();
            LookAtPath(events);
            if (events.empty()) {
                StartPolling(events);
            }
        }
        if (folder_ != INVALID_HANDLE_VALUE && !pending_ && !polling_ && !Arm()) {
            StartPolling(events);
        }
    }

    void StartPolling(std::vector<FolderEvent>& events) {
        polling_ = true;
        snapshot_ = SnapshotOf(path_);
        events.push_back({FolderEvent::Kind::Overflow, {}});
    }

    // A name in the short form that some writers create files by.
    std::string LongName(const std::string& name) const {
        if (name.find('~') == std::string::npos) {
            return name;
        }
        const std::wstring shortPath = path_ + L"\\" + Widen(name).value_or(L"");
        std::wstring longPath(32768, L'\0');
        const DWORD length = GetLongPathNameW(shortPath.c_str(), longPath.data(),
                                              static_cast<DWORD>(longPath.size()));
        if (length == 0 || length >= longPath.size()) {
            return name;
        }
        longPath.resize(length);
        return Narrow(longPath.substr(longPath.find_last_of(L"\\/") + 1));
    }

    void LookAtPath(std::vector<FolderEvent>& events) {
        if (folder_ != INVALID_HANDLE_VALUE && FolderIdentityAt(path_) != identity_) {
            LoseFolder(events);
        }
        if (folder_ == INVALID_HANDLE_VALUE) {
            if (OpenFolder()) {
                events.push_back({FolderEvent::Kind::FolderBack, {}});
            }
        } else if (polling_) {
            PollChanges(events);
        }
    }

    void LoseFolder(std::vector<FolderEvent>& events) {
        const std::wstring where = WhereFolderWent();
        CloseFolder();
        events.push_back(
            {where.empty() ? FolderEvent::Kind::FolderGone : FolderEvent::Kind::FolderMoved,
             Narrow(where)});
    }

    // Where the folder that was watched is now: where its handle says, or a
    // folder beside its old name that is the same folder; empty when unknown.
    std::wstring WhereFolderWent() const {
        const std::wstring final = FinalPathOf(folder_);
        if (!final.empty() && FolderIdentityAt(final) == identity_) {
            return final;
        }
        const std::wstring parent = ParentOf(path_);
        WIN32_FIND_DATAW data;
        const HANDLE find = FindFirstFileExW((parent + L"*").c_str(), FindExInfoBasic, &data,
                                             FindExSearchLimitToDirectories, nullptr, 0);
        if (find == INVALID_HANDLE_VALUE) {
            return L"";
        }
        std::wstring where;
        do {
            const std::wstring name = data.cFileName;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." &&
                name != L".." && FolderIdentityAt(parent + name) == identity_) {
                where = parent + name;
            }
        } while (where.empty() && FindNextFileW(find, &data));
        FindClose(find);
        return where;
    }

    void PollChanges(std::vector<FolderEvent>& events) {
        Snapshot now = SnapshotOf(path_);
        for (const auto& [name, state] : now) {
            const auto before = snapshot_.find(name);
            if (before == snapshot_.end() || before->second != state) {
                events.push_back({FolderEvent::Kind::FileChanged, Narrow(name)});
            }
        }
        snapshot_ = std::move(now);
    }

    const std::wstring path_;
    HANDLE folder_ = INVALID_HANDLE_VALUE;
    Identity identity_;
    HANDLE changed_;
    HANDLE wake_;
    OVERLAPPED overlapped_{};
    bool pending_ = false;
    bool polling_ = false;
    Snapshot snapshot_;
    Clock::time_point lastLook_;
    alignas(DWORD) std::array<std::byte, kBufferBytes> buffer_;
};

}  // namespace

std::unique_ptr<FolderWatch> FolderWatch::Open(const std::string& folder, std::string& error) {
    const std::optional<std::wstring> wide = Widen(folder);
    if (!wide || wide->empty()) {
        error = "cannot watch " + folder + ": the name is not valid UTF-8";
        return nullptr;
    }
    auto watch = std::make_unique<DirectoryChangesWatch>(*wide);
    if (!watch->Start(error)) {
        return nullptr;
    }
    return watch;
}

}  // namespace segweld::os
