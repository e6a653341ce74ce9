// The file seam on POSIX systems (Linux first).

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <utility>
#include <vector>

#include "os/file_system.h"
#include "os/folders.h"
#include "os/posix_temporaries.h"

namespace segweld::os {
namespace {

constexpr int kMaxLinkHops = 40;

std::string SystemText(int error) {
    return std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

FileIdentity IdentityOf(const struct stat& info) {
    return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

PathKind KindOf(const struct stat& info) {
    if (S_ISREG(info.st_mode)) {
        return PathKind::RegularFile;
    }
    return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::Other;
}

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    for (;;) {
        const int fd = open(path, flags | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EINTR) {
            return fd;
        }
    }
}

// The path that `path` leads to when it is a symbolic link (followed to the
// end, even when the end does not exist yet); `path` itself otherwise.
std::string LinkTarget(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<size_t>(length) >= target.size()) {
            return path;
        }
        target.resize(static_cast<size_t>(length));
        path = target.front() == '/' ? target : FolderOf(path) + target;
    }
    return path;
}

bool KernelCopyUnsupported(int error) {
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP ||
           error == EBADF;
}

bool OutOfRoom(int error) {
    return error == ENOSPC || error == EFBIG || error == EDQUOT;
}

// Reads from `offset` until `out` is full or the file ends; `what` names the
// file in the error.
size_t ReadFullyAt(int fd, uint64_t offset, std::span<uint8_t> out, const std::string& what) {
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t got =
            pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw ReadError("Cannot read " + what + ": " + SystemText(errno));
        }
        if (got == 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    return done;
}

}  // namespace

namespace {

PathInfo InfoOf(const struct stat& info) {
    PathInfo result;
    result.kind = KindOf(info);
    result.size = static_cast<uint64_t>(info.st_size);
    result.modifiedNanoseconds =
        int64_t{info.st_mtim.tv_sec} * 1000000000 + int64_t{info.st_mtim.tv_nsec};
    result.changedNanoseconds =
        int64_t{info.st_ctim.tv_sec} * 1000000000 + int64_t{info.st_ctim.tv_nsec};
    result.identity = IdentityOf(info);
    return result;
}

PathInfo Unseen(PathKind kind, int error) {
    PathInfo result;
    result.kind = kind;
    result.error = SystemText(error);
    return result;
}

PathKind KindOfFailure(int error, bool link) {
    if (error == ELOOP) {
        return PathKind::LinkLoop;
    }
    if (error == ENOENT || error == ENOTDIR) {
        return link ? PathKind::DanglingLink : PathKind::Missing;
    }
    return PathKind::Inaccessible;
}

}  // namespace

// lstat first: a plain file or a missing name, the usual cases, take one call.
PathInfo LookAt(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
        const int error = errno;
        return Unseen(KindOfFailure(error, false), error);
    }
    if (!S_ISLNK(info.st_mode)) {
        return InfoOf(info);
    }
    if (stat(path.c_str(), &info) != 0) {
        const int error = errno;
        return Unseen(KindOfFailure(error, true), error);
    }
    return InfoOf(info);
}

struct InputFile::Native {
    int fd = -1;
};

InputFile::InputFile() : native_(std::make_unique<Native>()) {}
InputFile::InputFile(InputFile&&) noexcept = default;
InputFile& InputFile::operator=(InputFile&&) noexcept = default;

InputFile::~InputFile() {
    if (native_ && native_->fd >= 0) {
        close(native_->fd);
    }
}

bool InputFile::isOpen() const {
    return native_ && native_->fd >= 0;
}

InputFile::Outcome InputFile::Open(const std::string& path) {
    path_ = path;
    const PathInfo look = LookAt(path);
    switch (look.kind) {
        case PathKind::Missing:
        case PathKind::LinkLoop:
        case PathKind::Inaccessible:
            error_ = look.error;
            return Outcome::Missing;
        case PathKind::DanglingLink:
            error_ = "a symbolic link whose target does not exist";
            return Outcome::Missing;
        case PathKind::Folder:
        case PathKind::Other:
            error_ = "not a regular file";
            return Outcome::NotRegularFile;
        case PathKind::RegularFile:
            break;
    }
    // Non-blocking, in case the name was replaced by a FIFO since the look above.
    const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        error_ = SystemText(errno);
        return Outcome::Failed;
    }
    native_->fd = fd;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error_ = "not a regular file";
        return Outcome::NotRegularFile;
    }
    size_ = static_cast<uint64_t>(info.st_size);
    identity_ = IdentityOf(info);
    const PathInfo opened = InfoOf(info);
    modifiedNanoseconds_ = opened.modifiedNanoseconds;
    changedNanoseconds_ = opened.changedNanoseconds;
    return Outcome::Opened;
}

size_t InputFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
    return ReadFullyAt(native_->fd, offset, out, path_);
}

struct HiddenOutput::Native {
    int fd = -1;
    // A second descriptor of a locked partial file: the lock belongs to the
    // open file, so it lasts past the close of `fd` (which reports late write
    // errors) until the file has been renamed.
    int lockHolder = -1;
    std::string folder;
    std::string target;         // the file that the final name leads to
    std::string temporaryPath;  // empty while the file has no name
    int temporarySlot = -1;     // in the interrupt table, while it has a name
    bool kernelCopy = true;
};

namespace {

[[noreturn]] void Fail(const std::string& what, int error) {
    throw OutputError(what + ": " + SystemText(error));
}

constexpr const char* kTemporaryPrefix = ".segweld-";
// How long a named temporary that no process holds must have been left
// alone before it counts as abandoned: its maker locks it a moment after
// creating it.
constexpr time_t kAbandonedAfterSeconds = 60;
// The working folders of earlier versions' image runs, and how long they
// must have been left alone.
constexpr const char* kEarlierWorkFolderPrefix = ".segweld-geotiff-";
constexpr time_t kEarlierWorkFolderAfterSeconds = 3600;

// A temporary name in `folder` that no other process or thread picks.
std::string TemporaryName(const std::string& folder, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    return folder + kTemporaryPrefix + std::to_string(getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + "-" + std::to_string(attempt);
}

// True for the names TemporaryName gives: the prefix, then three numbers.
bool IsTemporaryName(const std::string& name) {
    if (!name.starts_with(kTemporaryPrefix)) {
        return false;
    }
    int numbers = 0;
    bool inNumber = false;
    for (const char c : name.substr(std::strlen(kTemporaryPrefix))) {
        if (c >= '0' && c <= '9') {
            numbers += inNumber ? 0 : 1;
            inNumber = true;
        } else if (c == '-' && inNumber) {
            inNumber = false;
        } else {
            return false;
        }
    }
    return numbers == 3 && inNumber;
}

bool IsEarlierWorkFolder(const std::string& name) {
    const size_t prefix = std::strlen(kEarlierWorkFolderPrefix);
    return name.starts_with(kEarlierWorkFolderPrefix) && name.size() == prefix + 8 &&
           name.find_first_not_of("0123456789abcdef", prefix) == std::string::npos;
}

bool UntouchedFor(const struct stat& info, time_t seconds) {
    return info.st_mtime + seconds < std::time(nullptr);
}

// Marks the output file open as `fd` as in use by this process, for
// RemoveAbandonedOutputs in other processes: the lock goes with the process.
void MarkInUse(int fd) {
    [[maybe_unused]] const int locked = flock(fd, LOCK_EX | LOCK_NB);
}

// Removes the named temporary `path` when no process holds it and it has
// been left alone a while.
bool RemoveIfAbandoned(const std::string& path) {
    int fd = OpenRetrying(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        fd = OpenRetrying(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    }
    if (fd < 0) {
        return false;
    }
    struct stat info;
    const bool abandoned = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                           UntouchedFor(info, kAbandonedAfterSeconds) &&
                           flock(fd, LOCK_EX | LOCK_NB) == 0;
    const bool removed = abandoned && unlink(path.c_str()) == 0;
    close(fd);
    return removed;
}

// Removes an earlier version's working folder when neither it nor anything in
// it changed for an hour.
bool RemoveIfLeftAlone(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        !UntouchedFor(info, kEarlierWorkFolderAfterSeconds)) {
        return false;
    }
    for (const FolderEntry& entry : ListFolder(path).entries) {
        if (lstat((path + "/" + entry.name).c_str(), &info) != 0 ||
            !UntouchedFor(info, kEarlierWorkFolderAfterSeconds)) {
            return false;
        }
    }
    std::error_code error;
    std::filesystem::remove_all(path, error);
    return !error;
}

void NameTemporary(HiddenOutput::Native& native, const std::string& finalPath, bool linkOpenFile) {
    const std::string self = "/proc/self/fd/" + std::to_string(native.fd);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string name = TemporaryName(native.folder, attempt);
        // The name is in the interrupt table before the file has it.
        const int slot = RegisterTemporary(name.c_str());
        int fd = -1;
        const bool made =
            linkOpenFile
                ? linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0
                : (fd = OpenRetrying(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666)) >= 0;
        if (made) {
            native.temporaryPath = name;
            native.temporarySlot = slot;
            if (!linkOpenFile) {
                native.fd = fd;
                MarkInUse(fd);
            }
            return;
        }
        const int error = errno;
        ForgetTemporary(slot);
        if (error != EEXIST) {
            Fail("Cannot create the output file " + finalPath + " in " + native.folder, error);
        }
    }
    Fail("Cannot create the output file " + finalPath, EEXIST);
}

// Gives the new file the permission bits, owner and group of the file it
// replaces; where the process may not set the owner, it keeps its own.
void KeepAttributesOf(const std::string& replaced, int fd) {
    struct stat old;
    if (stat(replaced.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        return;
    }
    // A failure is no error: what the process may not set stays its own. (A
    // cast to void does not quiet the fortified C library's unused-result warning.)
    [[maybe_unused]] const int owned = fchown(fd, old.st_uid, old.st_gid);
    [[maybe_unused]] const int moded = fchmod(fd, old.st_mode & 07777);
}

// Gives the file open as `fd` and named `writtenPath` the attributes of
// `target`, closes it and renames it onto `target`.
void CloseAndReplace(int fd, const std::string& writtenPath, const std::string& target,
                     const std::string& finalPath) {
    KeepAttributesOf(target, fd);
    if (close(fd) != 0) {
        Fail("Cannot write the output file " + finalPath, errno);
    }
    if (rename(writtenPath.c_str(), target.c_str()) != 0) {
        Fail("Cannot create the output file " + finalPath, errno);
    }
}

enum class LockOutcome { Held, InUse, Unavailable };

// Takes the write lock of the whole file open as `fd` without waiting. The
// lock belongs to the open file, not the process (so no other close in the
// process drops it); a system without such locks gets flock's, which belong
// to the open file too.
LockOutcome LockWholeFile(int fd, int& error) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (fcntl(fd, F_OFD_SETLK, &lock) == 0) {
        return LockOutcome::Held;
    }
    error = errno;
    if (error == EINVAL) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return LockOutcome::Held;
        }
        error = errno;
    }
    return error == EAGAIN || error == EACCES || error == EWOULDBLOCK ? LockOutcome::InUse
                                                                      : LockOutcome::Unavailable;
}

bool NameLeadsTo(const std::string& name, int fd) {
    struct stat named;
    struct stat open;
    return lstat(name.c_str(), &named) == 0 && fstat(fd, &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

}  // namespace

HiddenOutput::HiddenOutput(std::string finalPath)
    : native_(std::make_unique<Native>()), finalPath_(std::move(finalPath)) {
    native_->target = LinkTarget(finalPath_);
    native_->folder = FolderOf(native_->target);
    const std::string folder = native_->folder.empty() ? "." : native_->folder;
    // An unnamed file leaves nothing behind when the process dies mid-join; it
    // gets a name only in Commit(). The kernel applies the umask to the mode.
    if (access("/proc/self/fd", X_OK) == 0) {
        native_->fd = OpenRetrying(folder.c_str(), O_TMPFILE | O_RDWR, 0666);
        if (native_->fd >= 0) {
            MarkInUse(native_->fd);  // for the moment it has a name, in Commit()
            return;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != ENOENT) {
            Fail("Cannot create the output file " + finalPath_ + " in " + folder, errno);
        }
    }
    NameTemporary(*native_, finalPath_, false);
}

HiddenOutput::HiddenOutput(std::string finalPath, const std::string& partialName)
    : native_(std::make_unique<Native>()), finalPath_(std::move(finalPath)) {
    native_->target = LinkTarget(finalPath_);
    native_->folder = FolderOf(native_->target);
    const std::string name = native_->folder + partialName;
    // Opened without truncating it: a file another process writes is left
    // as it is.
    for (int attempt = 0;; ++attempt) {
        const int fd = OpenRetrying(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW, 0666);
        if (fd < 0) {
            Fail("Cannot create the output file " + name, errno);
        }
        int error = 0;
        const LockOutcome lock = LockWholeFile(fd, error);
        if (lock == LockOutcome::InUse) {
            close(fd);
            throw OutputInUse("another process is writing " + name);
        }
        // A writer that finished between the open and the lock has renamed
        // the file away: the name is free again.
        if (lock == LockOutcome::Held && !NameLeadsTo(name, fd) && attempt < 100) {
            close(fd);
            continue;
        }
        if (lock == LockOutcome::Unavailable) {
            lockError_ = SystemText(error);
        }
        native_->fd = fd;
        native_->temporaryPath = name;
        if (lock == LockOutcome::Held) {
            native_->lockHolder = fcntl(fd, F_DUPFD_CLOEXEC, 0);
        }
        if (ftruncate(fd, 0) != 0) {
            Fail("Cannot create the output file " + name, errno);
        }
        return;
    }
}

HiddenOutput::~HiddenOutput() {
    Abandon();
}

void HiddenOutput::Abandon() noexcept {
    if (done_) {
        return;
    }
    done_ = true;
    // Unnamed before it is closed: the name of a locked file is never free
    // while the file is still in its writer's hands.
    if (!native_->temporaryPath.empty()) {
        unlink(native_->temporaryPath.c_str());
        ForgetTemporary(native_->temporarySlot);
    }
    for (int* fd : {&native_->fd, &native_->lockHolder}) {
        if (*fd >= 0) {
            close(std::exchange(*fd, -1));
        }
    }
}

void HiddenOutput::Append(std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(native_->fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            Fail("Cannot write the output file " + finalPath_, written < 0 ? errno : ENOSPC);
        }
        bytes = bytes.subspan(static_cast<size_t>(written));
        size_ += static_cast<uint64_t>(written);
    }
}

void HiddenOutput::AppendZeros(uint64_t count) {
    if (count == 0) {
        return;
    }
    // Growing the file leaves a hole; the next write goes after it.
    const uint64_t end = size_ + count;
    if (ftruncate(native_->fd, static_cast<off_t>(end)) != 0) {
        Fail("Cannot write the output file " + finalPath_, errno);
    }
    if (lseek(native_->fd, static_cast<off_t>(end), SEEK_SET) < 0) {
        Fail("Cannot write the output file " + finalPath_, errno);
    }
    size_ = end;
}

void HiddenOutput::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t written = pwrite(native_->fd, bytes.data() + done, bytes.size() - done,
                                       static_cast<off_t>(offset + done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            Fail("Cannot write the output file " + finalPath_, written < 0 ? errno : ENOSPC);
        }
        done += static_cast<size_t>(written);
    }
    size_ = std::max(size_, offset + bytes.size());
}

size_t HiddenOutput::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
    return ReadFullyAt(native_->fd, offset, out, "the output file " + finalPath_);
}

void HiddenOutput::Resize(uint64_t size) {
    if (ftruncate(native_->fd, static_cast<off_t>(size)) != 0) {
        Fail("Cannot write the output file " + finalPath_, errno);
    }
    size_ = size;
}

uint64_t HiddenOutput::AppendFrom(const InputFile& source, uint64_t offset, uint64_t length) {
    uint64_t done = 0;
    while (done < length && native_->kernelCopy) {
        off_t from = static_cast<off_t>(offset + done);
        const size_t step = static_cast<size_t>(std::min<uint64_t>(length - done, 1u << 30));
        const ssize_t copied =
            copy_file_range(source.native().fd, &from, native_->fd, nullptr, step, 0);
        if (copied < 0 && errno == EINTR) {
            continue;
        }
        if (copied < 0 && OutOfRoom(errno)) {
            Fail("Cannot write the output file " + finalPath_, errno);
        }
        if (copied < 0) {
            // Unsupported here, or an error on either side: reads and writes
            // from here on tell which side failed.
            native_->kernelCopy = KernelCopyUnsupported(errno) ? false : native_->kernelCopy;
            break;
        }
        if (copied == 0) {
            break;  // the end of the source, or a kernel that copies nothing here
        }
        done += static_cast<uint64_t>(copied);
        size_ += static_cast<uint64_t>(copied);
    }
    return done + CopyThroughBuffer(source, offset + done, length - done);
}

std::string HiddenOutput::NameForLibrary() {
    // Libraries resolve the name they are given (HDF5 does), which an
    // unnamed file's /proc link does not allow: the file takes its temporary
    // name now, which the interrupt handler and RemoveAbandonedOutputs clear
    // up as for systems without unnamed files.
    if (native_->temporaryPath.empty()) {
        NameTemporary(*native_, finalPath_, true);
    }
    // The library locks the file itself while it has it open, which this
    // object's own mark of use would refuse.
    flock(native_->fd, LOCK_UN);
    return native_->temporaryPath;
}

void HiddenOutput::TakeSizeWritten() {
    struct stat status {};
    if (fstat(native_->fd, &status) != 0) {
        Fail("Cannot look at the output file " + finalPath_, errno);
    }
    size_ = static_cast<uint64_t>(status.st_size);
    MarkInUse(native_->fd);
}

void HiddenOutput::Commit() {
    if (done_) {
        throw OutputError("The output file " + finalPath_ + " was already finished");
    }
    Native& native = *native_;
    if (native.temporaryPath.empty()) {
        NameTemporary(native, finalPath_, true);
    }
    CloseAndReplace(std::exchange(native.fd, -1), native.temporaryPath, native.target, finalPath_);
    ForgetTemporary(native.temporarySlot);
    native.temporaryPath.clear();
    if (native.lockHolder >= 0) {
        close(std::exchange(native.lockHolder, -1));
    }
    done_ = true;
}

std::string CommitFolder(const std::string& finalPath) {
    return FolderOf(LinkTarget(finalPath));
}

std::vector<std::string> RemoveAbandonedOutputs(const std::string& folder) {
    std::vector<std::string> removed;
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    for (const FolderEntry& entry : ListFolder(folder.empty() ? "." : folder).entries) {
        const std::string path = prefix + entry.name;
        if ((IsTemporaryName(entry.name) && RemoveIfAbandoned(path)) ||
            (IsEarlierWorkFolder(entry.name) && RemoveIfLeftAlone(path))) {
            removed.push_back(entry.name);
        }
    }
    return removed;
}

void CommitFinishedFile(const std::string& writtenPath, const std::string& finalPath) {
    const int fd = OpenRetrying(writtenPath.c_str(), O_RDONLY | O_NOFOLLOW);
    if (fd < 0) {
        Fail("Cannot open the finished file " + writtenPath, errno);
    }
    CloseAndReplace(fd, writtenPath, LinkTarget(finalPath), finalPath);
}

}  // namespace segweld::os

namespace segweld::os {

struct AppendingFile::Native {
    int fd = -1;
};

AppendingFile::AppendingFile(std::string path)
    : native_(std::make_unique<Native>()), path_(std::move(path)) {
    // Non-blocking, so that a FIFO of the name is refused instead of waited on.
    const int fd = OpenRetrying(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK, 0666);
    if (fd < 0) {
        Fail("Cannot open " + path_ + " to append to it", errno);
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        throw OutputError("Cannot append to " + path_ + ": not a regular file");
    }
    int error = 0;
    switch (LockWholeFile(fd, error)) {
        case LockOutcome::InUse:
            close(fd);
            throw OutputInUse("another process is writing " + path_);
        case LockOutcome::Unavailable:
            lockError_ = SystemText(error);
            break;
        case LockOutcome::Held:
            break;
    }
    fcntl(fd, F_SETFL, O_APPEND);
    native_->fd = fd;
    identity_ = IdentityOf(info);
}

AppendingFile::~AppendingFile() {
    if (native_->fd >= 0) {
        close(native_->fd);
    }
}

void AppendingFile::Append(std::span<const uint8_t> bytes) {
    struct stat before;
    if (fstat(native_->fd, &before) != 0) {
        Fail("Cannot write " + path_, errno);
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(native_->fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            // Nothing of a record that did not fit stays behind.
            [[maybe_unused]] const int cut = ftruncate(native_->fd, before.st_size);
            Fail("Cannot write " + path_, error);
        }
        done += static_cast<size_t>(written);
    }
}

}  // namespace segweld::os
