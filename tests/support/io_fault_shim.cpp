// Loaded with LD_PRELOAD into a program under test, it plays a failing disk:
//   SEGWELD_TEST_FAIL_READS=TEXT       reads of files whose path holds TEXT fail
//   SEGWELD_TEST_FAIL_READS_FROM=N     ... at file offsets from N on (default 0)
//   SEGWELD_TEST_SIGNAL_COPIES=TEXT    copies from such files signal the process
//   SEGWELD_TEST_SIGNAL_OPENS=TEXT     so does opening such a file with fopen64
//   SEGWELD_TEST_SIGNAL=N              ... with signal N in the middle of the copy
//   SEGWELD_TEST_STALL_COPIES=TEXT     copies from such files hang for ten minutes
//   SEGWELD_TEST_NO_UNNAMED_FILES=1    the file system offers no unnamed files
//   SEGWELD_TEST_FULL_DISK=TEXT        writes to files whose path holds TEXT find no space
//   SEGWELD_TEST_FULL_DISK_WHILE=PATH  ... as long as PATH exists (always, when unset)
//   SEGWELD_TEST_UNREADABLE=TEXT       folders whose path holds TEXT cannot be read
//   SEGWELD_TEST_VANISHED=TEXT         folders whose path holds TEXT are gone when opened
//   SEGWELD_TEST_NO_XATTRS=1           the file system keeps no user extended attributes
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

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
    return whilePath == nullptr || access(whilePath, F_OK) == 0;
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

int OpenFaulty(const char* name, const char* path, int flags, va_list rest) {
    const bool takesMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t mode = takesMode ? va_arg(rest, mode_t) : 0;
    if ((flags & O_TMPFILE) == O_TMPFILE && std::getenv("SEGWELD_TEST_NO_UNNAMED_FILES")) {
        errno = EOPNOTSUPP;
        return -1;
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
    return Next<ssize_t (*)(int, const void*, size_t)>("write")(fd, buffer, count);
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
    if (PathHolds(in, "SEGWELD_TEST_SIGNAL_COPIES")) {
        SignalProcess();
    }
    return Next<ssize_t (*)(int, off_t*, int, off_t*, size_t, unsigned)>("copy_file_range")(
        in, inOffset, out, outOffset, count, flags);
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
    const char* text = std::getenv("SEGWELD_TEST_SIGNAL_OPENS");
    if (text != nullptr && *text != '\0' && std::strstr(path, text) != nullptr) {
        SignalProcess();
    }
    return Next<FILE* (*)(const char*, const char*)>("fopen64")(path, mode);
}
}
