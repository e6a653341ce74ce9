#include "join/segment_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace segweld {

std::streamsize PositionedReadBuf::xsgetn(char* out, std::streamsize count) {
    std::streamsize done = 0;
    while (done < count && gptr() < egptr()) {
        out[done++] = *gptr();
        gbump(1);
    }
    while (done < count) {
        const ssize_t got =
            pread(fd_, out + done, static_cast<size_t>(count - done), static_cast<off_t>(next_));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += got;
        next_ += static_cast<uint64_t>(got);
    }
    return done;
}

PositionedReadBuf::int_type PositionedReadBuf::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    if (xsgetn(&single_, 1) != 1) {
        return traits_type::eof();
    }
    setg(&single_, &single_, &single_ + 1);
    return traits_type::to_int_type(single_);
}

PositionedReadBuf::pos_type PositionedReadBuf::seekoff(off_type offset, std::ios::seekdir dir,
                                                       std::ios::openmode) {
    off_type base = 0;
    if (dir == std::ios::cur) {
        base = static_cast<off_type>(position());
    } else if (dir == std::ios::end) {
        struct stat info;
        if (fstat(fd_, &info) != 0) {
            return pos_type(off_type(-1));
        }
        base = info.st_size;
    }
    const off_type target = base + offset;
    if (target < 0) {
        return pos_type(off_type(-1));
    }
    setg(nullptr, nullptr, nullptr);
    next_ = static_cast<uint64_t>(target);
    return pos_type(target);
}

PositionedReadBuf::pos_type PositionedReadBuf::seekpos(pos_type position,
                                                       std::ios::openmode which) {
    return seekoff(off_type(position), std::ios::beg, which);
}

SegmentFile::~SegmentFile() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

OpenOutcome SegmentFile::Open(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error_ = std::strerror(errno);
        return OpenOutcome::Missing;
    }
    if (!S_ISREG(info.st_mode)) {
        error_ = "not a regular file";
        return OpenOutcome::NotRegularFile;
    }
    // Non-blocking, in case the name was replaced by a FIFO since the test above.
    fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return OpenOutcome::Failed;
    }
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        error_ = "not a regular file";
        return OpenOutcome::NotRegularFile;
    }
    size_ = static_cast<uint64_t>(info.st_size);
    buffer_.emplace(fd_);
    stream_.rdbuf(&*buffer_);
    return OpenOutcome::Opened;
}

size_t SegmentFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t got =
            pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    return done;
}

}  // namespace segweld
