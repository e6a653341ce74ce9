#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <span>
#include <streambuf>
#include <string>

namespace segweld {

// An unbuffered input stream buffer over an open file descriptor that reads
// with positioned reads, so the file offset of the next byte is always known.
class PositionedReadBuf : public std::streambuf {
  public:
    explicit PositionedReadBuf(int fd) : fd_(fd) {}

    // File offset of the next byte the stream will deliver.
    uint64_t position() const { return next_ - static_cast<uint64_t>(egptr() - gptr()); }

  protected:
    std::streamsize xsgetn(char* out, std::streamsize count) override;
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios::seekdir dir, std::ios::openmode) override;
    pos_type seekpos(pos_type position, std::ios::openmode which) override;

  private:
    int fd_;
    uint64_t next_ = 0;  // file offset just past the bytes already taken from the file
    char single_ = 0;
};

// How opening a segment file went.
enum class OpenOutcome {
    Opened,
    Missing,         // nothing of that name exists
    NotRegularFile,  // a folder, FIFO or device: not opened
    Failed,          // exists but does not open for reading
};

// One segment file, open for reading. Only regular files are opened: a folder,
// FIFO or device of the name is refused without being opened for reading.
class SegmentFile {
  public:
    SegmentFile() = default;
    SegmentFile(const SegmentFile&) = delete;
    SegmentFile& operator=(const SegmentFile&) = delete;
    ~SegmentFile();

    // Opens `path`; on failure `error()` says why. Whether something of that
    // name exists, and whether it is a regular file, is learnt from one look
    // at the name before anything is opened.
    OpenOutcome Open(const std::string& path);

    std::istream& stream() { return stream_; }
    int fd() const { return fd_; }
    uint64_t size() const { return size_; }
    // File offset of the next byte the stream delivers: after ReadHeader, the
    // first byte of the data field.
    uint64_t position() const { return buffer_ ? buffer_->position() : 0; }
    const std::string& error() const { return error_; }

    // Reads up to out.size() bytes at `offset`; returns how many arrived.
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const;

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
    std::string error_;
    std::optional<PositionedReadBuf> buffer_;
    std::istream stream_{nullptr};
};

}  // namespace segweld
