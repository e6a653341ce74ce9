// Loaded with LD_PRELOAD into a program under test, it plays a failing disk:
//   SEGWELD_TEST_FAIL_READS=TEXT       reads of files whose path holds TEXT fail
//   SEGWELD_TEST_FAIL_READS_FROM=N     ... at file offsets from N on (default 0)
//   SEGWELD_TEST_SIGNAL_COPIES=TEXT    copies from such files raise the signal
//   SEGWELD_TEST_SIGNAL_OPENS=TEXT     so does opening such a file with fopen64
//   SEGWELD_TEST_SIGNAL=N              ... numbered N in the middle of the copy
//   SEGWELD_TEST_STALL_COPIES=TEXT     copies from such files hang for ten minutes
//   SEGWELD_TEST_NO_UNNAMED_FILES=1    the file system offers no unnamed files
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
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

ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t count,
                        unsigned flags) {
    if (ReadFails(in, inOffset ? *inOffset : 0)) {
        errno = EIO;
        return -1;
    }
    if (PathHolds(in, "SEGWELD_TEST_STALL_COPIES")) {
        sleep(600);  // a network share that stopped answering
    }
    if (PathHolds(in, "SEGWELD_TEST_SIGNAL_COPIES")) {
        raise(std::atoi(std::getenv("SEGWELD_TEST_SIGNAL")));
    }
    return Next<ssize_t (*)(int, off_t*, int, off_t*, size_t, unsigned)>("copy_file_range")(
        in, inOffset, out, outOffset, count, flags);
}

FILE* fopen64(const char* path, const char* mode) {
    const char* text = std::getenv("SEGWELD_TEST_SIGNAL_OPENS");
    if (text != nullptr && *text != '\0' && std::strstr(path, text) != nullptr) {
        raise(std::atoi(std::getenv("SEGWELD_TEST_SIGNAL")));
    }
    return Next<FILE* (*)(const char*, const char*)>("fopen64")(path, mode);
}
}
