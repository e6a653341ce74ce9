#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <streambuf>
#include <string>
#include <vector>

#include "os/file_system.h"
#include "unpack/decompressor.h"

namespace segweld {

// An input stream buffer over the content of a file compressed whole. It
// holds one window of the content, so the stream may step back within it
// (as the header reader does, by a few bytes) and move on; a step back before
// the window decompresses the file again from its start. A read error ends
// the stream like the end of the content would, and is kept.
class DecompressedBuf : public std::streambuf {
  public:
    DecompressedBuf(const os::InputFile& file, unpack::Compression compression);

    // Offset in the content of the next byte the stream will deliver.
    uint64_t position() const { return windowStart_ + static_cast<uint64_t>(gptr() - eback()); }
    // Moves to `offset`; false when the content ends before it. Throws
    // os::ReadError.
    bool MoveTo(uint64_t offset);
    // The bytes of the window from position() on, decompressing the next
    // window when it is used up; empty at the end of the content. Throws
    // os::ReadError.
    std::span<const uint8_t> Available();
    // Takes `count` of the bytes Available() gave.
    void Consume(size_t count) { gbump(static_cast<int>(count)); }

    // Why the content ended before its streams did, once it has ended;
    // empty otherwise.
    const std::string& fault() const { return fault_; }
    // Why a read through the stream failed; empty when none did.
    const std::string& readError() const { return readError_; }

  protected:
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios::seekdir dir, std::ios::openmode) override;
    pos_type seekpos(pos_type position, std::ios::openmode which) override;

  private:
    void Restart();
    // Replaces the window by the content that follows it; false at the end.
    bool NextWindow();
    char* window() { return reinterpret_cast<char*>(window_.data()); }

    const os::InputFile& file_;
    unpack::Compression compression_;
    uint64_t compressedOffset_ = 0;
    // Gone once the content has ended, so that an idle segment keeps no
    // library state.
    std::optional<unpack::Decompressor> decompressor_;
    std::string fault_;
    std::vector<uint8_t> window_;
    uint64_t windowStart_ = 0;
    std::string readError_;
};

}  // namespace segweld
