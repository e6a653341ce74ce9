#include "join/segment_file.h"

namespace segweld {

std::streamsize PositionedReadBuf::xsgetn(char* out, std::streamsize count) {
    std::streamsize done = 0;
    while (done < count && gptr() < egptr()) {
        out[done++] = *gptr();
        gbump(1);
    }
    if (done < count && readError_.empty()) {
        try {
            const size_t got = file_.ReadAt(
                next_, std::span(reinterpret_cast<uint8_t*>(out + done), size_t(count - done)));
            done += static_cast<std::streamsize>(got);
            next_ += got;
        } catch (const os::ReadError& error) {
            readError_ = error.what();
        }
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
        base = static_cast<off_type>(file_.size());
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

void SegmentFile::StandAt(uint64_t offset) {
    stream_.clear();
    stream_.seekg(static_cast<std::streamoff>(offset));
}

OpenOutcome SegmentFile::Open(const std::string& path) {
    const OpenOutcome outcome = file_.Open(path);
    if (outcome == OpenOutcome::Opened) {
        buffer_.emplace(file_);
        stream_.rdbuf(&*buffer_);
    }
    return outcome;
}

void SegmentFile::ThrowIfStreamFailed() const {
    if (buffer_ && !buffer_->readError().empty()) {
        throw os::ReadError(buffer_->readError());
    }
}

}  // namespace segweld
