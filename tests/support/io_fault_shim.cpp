// Loaded with LD_PRELOAD into a program under test, it plays a failing disk:
//   SEGWELD_TEST_FAIL_READS=TEXT       reads of files whose path holds TEXT fail
//   SEGWELD_TEST_FAIL_READS_FROM=N     ... at file offsets from N on (default 0)
//   SEGWELD_TEST_SIGNAL_COPIES=TEXT    copies from such files signal the process
//   SEGWELD_TEST_SIGNAL_OPENS=TEXT     so does opening such a file (open, fopen64)
//   SEGWELD_TEST_SIGNAL_WRITES=TEXT    so does writing to such a file (pwrite)
//   SEGWELD_TEST_SIGNAL=N              ... numbered N in the middle of the copy
//   SEGWELD_TEST_STALL_COPIES=TEXT     copies from such files hang for ten minutes
//   SEGWELD_TEST_NO_UNNAMED_FILES=1    the file system offers no unnamed files
//   SEGWELD_TEST_FULL_DISK=TEXT        writes to files whose path holds TEXT find no space
//   SEGWELD_TEST_FULL_DISK_WHILE=PATH  ... as long as PATH exists (always, when unset)
//   SEGWELD_TEST_FULL_DISK_AFTER=N     ... all but the first N writes to such files
//   SEGWELD_TEST_UNREADABLE=TEXT       folders whose path holds TEXT cannot be read
//   SEGWELD_TEST_VANISHED=TEXT         folders whose path holds TEXT are gone when opened
//   SEGWELD_TEST_NO_XATTRS=1           the file system keeps no user extended attributes
//   SEGWELD_TEST_WRITES_LOG=PATH       every file opened for writing goes to PATH ("open NAME"),
//                                      and at exit the bytes written to files in all ("bytes N")
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::atomic<unsigned long long> bytesWritten{0};

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool PathHolds(int fd, const char* variable) {
    const char* text = std::getenv(variable);
    if (text == nullptr || *text == '\0') {
        return false;
    }
    char path[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = readlink(link.c_str(), path, sizeof path - 1);
    return length > 0 && std::strstr(std::string(path, size_t(length)).c_str(), text) != nullptr;
}

bool ReadFails(int fd, off_t offset) {
    const char* from = std::getenv("SEGWELD_TEST_FAIL_READS_FROM");
    return PathHolds(fd, "SEGWELD_TEST_FAIL_READS") && offset >= (from ? std::atoll(from) : 0);
}

bool DiskFull(int fd) {
    if (!PathHolds(fd, "SEGWELD_TEST_FULL_DISK")) {
        return false;
    }
    const char* whilePath = std::getenv("SEGWELD_TEST_FULL_DISK_WHILE");
    if (whilePath != nullptr && access(whilePath, F_OK) != 0) {
        return false;
    }
    static std::atomic<long long> writes{0};
    const char* after = std::getenv("SEGWELD_TEST_FULL_DISK_AFTER");
    return after == nullptr || ++writes > std::atoll(after);
}

// Signals the process, as others do, and lets its handler run before going on.
void SignalProcess() {
    kill(getpid(), std::atoi(std::getenv("SEGWELD_TEST_SIGNAL")));
    usleep(200000);
}

bool NameHolds(const char* path, const char* variable) {
    const char* text = std::getenv(variable);
    return text != nullptr && *text != '\0' && std::strstr(path, text) != nullptr;
}

// Appends `line` to the writes log, when there is one.
void LogWrite(const std::string& line) {
    const char* log = std::getenv("SEGWELD_TEST_WRITES_LOG");
    if (log == nullptr) {
        return;
    }
    const int fd =
        Next<int (*)(const char*, int, ...)>("open")(log, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
        Next<ssize_t (*)(int, const void*, size_t)>("write")(fd, line.data(), line.size());
        close(fd);
    }
}

void CountWritten(int fd, ssize_t written) {
    if (fd > 2 && written > 0) {
        bytesWritten += static_cast<unsigned long long>(written);
    }
}

void RaiseIf(bool holds) {
    if (holds) {
        SignalProcess();
    }
}

__attribute__((destructor)) void LogBytesWritten() {
    LogWrite("bytes " + std::to_string(bytesWritten.load()) + "\n");
}

int OpenFaulty(const char* name, const char* path, int flags, va_list rest) {
    const bool takesMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t mode = takesMode ? va_arg(rest, mode_t) : 0;
    if ((flags & O_TMPFILE) == O_TMPFILE && std::getenv("SEGWELD_TEST_NO_UNNAMED_FILES")) {
        errno = EOPNOTSUPP;
        return -1;
    }
    RaiseIf(NameHolds(path, "SEGWELD_TEST_SIGNAL_OPENS"));
    if ((flags & (O_WRONLY | O_RDWR | O_CREAT)) != 0) {
        LogWrite(std::string("open ") + path + "\n");
    }
    return Next<int (*)(const char*, int, ...)>(name)(path, flags, mode);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const int fd = OpenFaulty("open", path, flags, rest);
    va_end(rest);
    return fd;
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    if (ReadFails(fd, offset)) {
        errno = EIO;
        return -1;
    }
    return Next<ssize_t (*)(int, void*, size_t, off_t)>("pread")(fd, buffer, count, offset);
}

ssize_t write(int fd, const void* buffer, size_t count) {
    if (DiskFull(fd)) {
        errno = ENOSPC;
        return -1;
    }
    const ssize_t written = Next<ssize_t (*)(int, const void*, size_t)>("write")(fd, buffer, count);
    CountWritten(fd, written);
    return written;
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (DiskFull(fd)) {
        errno = ENOSPC;
        return -1;
    }
    RaiseIf(PathHolds(fd, "SEGWELD_TEST_SIGNAL_WRITES"));
    const ssize_t written =
        Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite")(fd, buffer, count, offset);
    CountWritten(fd, written);
    return written;
}

int ftruncate(int fd, off_t length) {
    if (DiskFull(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return Next<int (*)(int, off_t)>("ftruncate")(fd, length);
}

DIR* opendir(const char* path) {
    if (NameHolds(path, "SEGWELD_TEST_UNREADABLE") || NameHolds(path, "SEGWELD_TEST_VANISHED")) {
        errno = NameHolds(path, "SEGWELD_TEST_UNREADABLE") ? EACCES : ENOENT;
        return nullptr;
    }
    return Next<DIR* (*)(const char*)>("opendir")(path);
}

ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t count,
                        unsigned flags) {
    if (DiskFull(out)) {
        errno = ENOSPC;
        return -1;
    }
    if (ReadFails(in, inOffset ? *inOffset : 0)) {
        errno = EIO;
        return -1;
    }
    if (PathHolds(in, "SEGWELD_TEST_STALL_COPIES")) {
        sleep(600);  // a network share that stopped answering
    }
    RaiseIf(PathHolds(in, "SEGWELD_TEST_SIGNAL_COPIES"));
    const ssize_t copied = Next<ssize_t (*)(int, off_t*, int, off_t*, size_t, unsigned)>(
        "copy_file_range")(in, inOffset, out, outOffset, count, flags);
    CountWritten(out, copied);
    return copied;
}

int setxattr(const char* path, const char* name, const void* value, size_t size, int flags) {
    if (std::getenv("SEGWELD_TEST_NO_XATTRS")) {
        errno = ENOTSUP;
        return -1;
    }
    return Next<int (*)(const char*, const char*, const void*, size_t, int)>("setxattr")(
        path, name, value, size, flags);
}

FILE* fopen64(const char* path, const char* mode) {
    RaiseIf(NameHolds(path, "SEGWELD_TEST_SIGNAL_OPENS"));
    if (std::strpbrk(mode, "wa+") != nullptr) {
        LogWrite(std::string("open ") + path + "\n");
    }
    return Next<FILE* (*)(const char*, const char*)>("fopen64")(path, mode);
}
}
