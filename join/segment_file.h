#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <span>
#include <streambuf>
#include <string>

#include "os/file_system.h"

namespace segweld {

// An unbuffered input stream buffer over an open file that reads with
// positioned reads, so the file offset of the next byte is always known. A
// read error ends the stream like the end of the file would, and is kept.
class PositionedReadBuf : public std::streambuf {
  public:
    explicit PositionedReadBuf(const os::InputFile& file) : file_(file) {}

    // File offset of the next byte the stream will deliver.
    uint64_t position() const { return next_ - static_cast<uint64_t>(egptr() - gptr()); }
    // Why a read failed; empty when none did.
    const std::string& readError() const { return readError_; }

  protected:
    std::streamsize xsgetn(char* out, std::streamsize count) override;
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios::seekdir dir, std::ios::openmode) override;
    pos_type seekpos(pos_type position, std::ios::openmode which) override;

  private:
    const os::InputFile& file_;
    uint64_t next_ = 0;  // file offset just past the bytes already taken from the file
    char single_ = 0;
    std::string readError_;
};

using OpenOutcome = os::InputFile::Outcome;

// One segment file, open for reading. Only regular files are opened: a folder,
// FIFO or device of the name is refused without being opened for reading.
class SegmentFile {
  public:
    SegmentFile() = default;
    SegmentFile(const SegmentFile&) = delete;
    SegmentFile& operator=(const SegmentFile&) = delete;

    // Opens `path`; on failure `error()` says why.
    OpenOutcome Open(const std::string& path);

    std::istream& stream() { return stream_; }
    const os::InputFile& file() const { return file_; }
    uint64_t size() const { return file_.size(); }
    // File offset of the next byte the stream delivers: after ReadHeader, the
    // first byte of the data field.
    uint64_t position() const { return buffer_ ? buffer_->position() : 0; }
    const std::string& error() const { return file_.error(); }
    // Throws os::ReadError when a read through the stream failed.
    void ThrowIfStreamFailed() const;
    // Sets the stream to deliver the file's bytes from `offset` on.
    void StandAt(uint64_t offset);

    // Reads up to out.size() bytes at `offset`; fewer only where the file
    // ends. Throws os::ReadError.
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const {
        return file_.ReadAt(offset, out);
    }

  private:
    os::InputFile file_;
    std::optional<PositionedReadBuf> buffer_;
    std::istream stream_{nullptr};
};

}  // namespace segweld
