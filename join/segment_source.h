#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <span>
#include <string>

#include "join/segment_file.h"
#include "unpack/compression.h"

namespace segweld {

class DecompressedBuf;

// A segment's bytes, whichever way its file stores them: as they are, or
// compressed whole (NAME.bz2, NAME.gz, NAME.xz: the suffix of the name tells),
// decompressed as they are read, never to disk and a window at a time.
// Offsets count the segment's own bytes, header first. Read a segment by
// opening it, reading its header through stream(), and taking its data field
// with ReadAt() or AppendTo(); a compressed segment reads fastest forwards.
class SegmentSource {
  public:
    SegmentSource();
    ~SegmentSource();
    SegmentSource(const SegmentSource&) = delete;
    SegmentSource& operator=(const SegmentSource&) = delete;

    // Opens `path` (regular files only); on failure error() says why.
    OpenOutcome Open(const std::string& path);

    unpack::Compression compression() const { return compression_; }
    // The file as it is stored and was opened: its size, time and identity.
    const os::InputFile& file() const { return plain_->file(); }
    const std::string& error() const { return plain_->error(); }

    // The segment's bytes as a stream, standing at the first after Open():
    // for CHritHeaderReader::ReadHeader.
    std::istream& stream();
    // Sets the stream to deliver the segment's bytes from `offset` on.
    void StandAt(uint64_t offset);
    // Throws os::ReadError when a read through the stream failed.
    void ThrowIfStreamFailed() const;
    // Offset of the next byte the stream delivers: after ReadHeader, the
    // first byte of the data field.
    uint64_t position() const;

    // Reads up to out.size() bytes at `offset`; fewer only where the segment
    // ends. An offset before the bytes last read makes a compressed segment
    // be decompressed again from its start. Throws os::ReadError.
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out);
    // Appends `length` bytes from `offset` to `output` (copied by the kernel
    // where it can) and returns how many the segment held there. Throws
    // os::ReadError and os::OutputError.
    uint64_t AppendTo(os::HiddenOutput& output, uint64_t offset, uint64_t length);
    // How many bytes the segment holds from `offset` on, at most `limit`:
    // from the file's size, or, compressed, counted by decompressing.
    uint64_t BytesFrom(uint64_t offset, uint64_t limit);
    // Why the segment, read up to `end` (where its header says its data field
    // ends), is damaged beyond a shortfall: its compressed data are truncated
    // or corrupt, or hold more than `end` bytes, which a header cannot have
    // promised (no more than a window beyond `end` is decompressed to see
    // it). Empty when sound, and always for a file stored as it is. Throws
    // os::ReadError.
    std::string DamageUpTo(uint64_t end);
    // Why the compressed data ended before their streams did, as far as they
    // have been read; empty otherwise.
    const std::string& fault() const;

  private:
    unpack::Compression compression_ = unpack::Compression::None;
    std::unique_ptr<SegmentFile> plain_;
    std::unique_ptr<DecompressedBuf> decompressed_;
    std::unique_ptr<std::istream> decompressedStream_;
};

}  // namespace segweld
