#include "join/joined_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "join/output_name.h"
#include "join/segment_file.h"
#include "join/segment_name.h"

namespace segweld {
namespace {

constexpr size_t kChunk = 1 << 20;

mode_t CreationMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool KernelCopyUnsupported(int error) {
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP ||
           error == EBADF;
}

}  // namespace

JoinedOutputFile::JoinedOutputFile(std::string finalPath) : finalPath_(std::move(finalPath)) {
    const std::string directory = SplitSegmentPath(finalPath_).directory;
    folder_ = directory.empty() ? "." : directory;
    // An unnamed file in the output folder leaves nothing behind when the
    // process dies mid-join; it gets a name only in Commit().
    if (access("/proc/self/fd", X_OK) == 0) {
        fd_ = open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            return;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR) {
            Fail("Cannot create the output file in " + folder_, errno);
        }
    }
    CreateNamedTemporary();
}

void JoinedOutputFile::CreateNamedTemporary() {
    std::string pattern = JoinedOutputPath(folder_, ".segweld-XXXXXX");
    fd_ = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        Fail("Cannot create the output file in " + folder_, errno);
    }
    temporaryPath_ = pattern;
    // mkostemp creates the file for its owner alone; give it the permissions
    // of any newly created file. Where the file system keeps none, leave it.
    (void)fchmod(fd_, CreationMode());
}

void JoinedOutputFile::NameUnnamedFile() {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = JoinedOutputPath(
            folder_, ".segweld-" + std::to_string(getpid()) + "-" + std::to_string(attempt));
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporaryPath_ = name;
            return;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    Fail("Cannot create the output file " + finalPath_, errno);
}

JoinedOutputFile::~JoinedOutputFile() {
    if (fd_ >= 0) {
        close(fd_);
    }
    if (!committed_ && !temporaryPath_.empty()) {
        unlink(temporaryPath_.c_str());
    }
}

void JoinedOutputFile::Fail(const std::string& what, int error) const {
    throw OutputError(what + ": " + std::strerror(error));
}

void JoinedOutputFile::Write(std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            Fail("Cannot write the output file " + finalPath_, written < 0 ? errno : ENOSPC);
        }
        bytes = bytes.subspan(static_cast<size_t>(written));
        bytesWritten_ += static_cast<uint64_t>(written);
    }
}

void JoinedOutputFile::WriteZeros(uint64_t count) {
    static const std::array<uint8_t, 64 * 1024> zeros{};
    while (count > 0) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(count, zeros.size()));
        Write(std::span(zeros.data(), step));
        count -= step;
    }
}

uint64_t JoinedOutputFile::CopyWithKernel(const SegmentFile& source, uint64_t offset,
                                          uint64_t length) {
    uint64_t done = 0;
    while (done < length && kernelCopy_) {
        off_t from = static_cast<off_t>(offset + done);
        const size_t step = static_cast<size_t>(std::min<uint64_t>(length - done, 1u << 30));
        const ssize_t copied = copy_file_range(source.fd(), &from, fd_, nullptr, step, 0);
        if (copied < 0 && errno == EINTR) {
            continue;
        }
        if (copied < 0 && KernelCopyUnsupported(errno)) {
            kernelCopy_ = false;  // fall back to reads and writes from here on
            break;
        }
        if (copied < 0) {
            const int error = errno;
            if (error == ENOSPC || error == EFBIG || error == EDQUOT) {
                Fail("Cannot write the output file " + finalPath_, error);
            }
            break;  // a read error in the segment: treat the rest as missing
        }
        if (copied == 0) {
            break;  // the segment file ends here
        }
        done += static_cast<uint64_t>(copied);
        bytesWritten_ += static_cast<uint64_t>(copied);
    }
    return done;
}

uint64_t JoinedOutputFile::CopyThroughBuffer(const SegmentFile& source, uint64_t offset,
                                             uint64_t length) {
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(length, kChunk)));
    uint64_t done = 0;
    while (done < length) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(length - done, buffer.size()));
        const size_t got = source.ReadAt(offset + done, std::span(buffer.data(), step));
        Write(std::span(buffer.data(), got));
        done += got;
        if (got < step) {
            break;
        }
    }
    return done;
}

uint64_t JoinedOutputFile::AppendFrom(const SegmentFile& source, uint64_t offset, uint64_t length) {
    uint64_t copied = CopyWithKernel(source, offset, length);
    if (copied < length) {
        // The kernel copy is unsupported here or stopped early; reads find out
        // where the segment really ends.
        copied += CopyThroughBuffer(source, offset + copied, length - copied);
    }
    WriteZeros(length - copied);
    return copied;
}

void JoinedOutputFile::Commit() {
    if (temporaryPath_.empty()) {
        NameUnnamedFile();
    }
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) {
        Fail("Cannot write the output file " + finalPath_, errno);
    }
    if (rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0) {
        Fail("Cannot create the output file " + finalPath_, errno);
    }
    committed_ = true;
}

std::unique_ptr<JoinedOutputFile> OpenJoinedOutput(std::string segmentName,
                                                   std::string outputFolder,
                                                   std::span<const uint8_t> firstBytes) {
    const std::string name = JoinedOutputName(segmentName, firstBytes);
    return std::make_unique<JoinedOutputFile>(JoinedOutputPath(outputFolder, name));
}

}  // namespace segweld
