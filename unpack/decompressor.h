#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "unpack/compression.h"

namespace segweld::unpack {

class Codec;

// The content of a file compressed whole, decompressed as it is read: one
// stream, or several back to back (as pbzip2 and `cat a.gz b.gz` write
// them). It holds a small input buffer and the library's state, never the
// content: bzip2 takes under 4 MiB, gzip under 64 KiB, xz what its stream's
// dictionary fills.
class Decompressor {
  public:
    // Delivers the next compressed bytes into its span; 0 at their end. May
    // throw, and the exception passes through Read().
    using Source = std::function<size_t(std::span<uint8_t>)>;

    enum class Ending {
        NotYet,     // the content goes on
        Complete,   // its last stream ended where the file does
        Truncated,  // the file ends inside a stream
        Corrupt,    // the data cannot be decoded (a check failed, or no stream begins)
    };

    Decompressor(Compression compression, Source source);
    ~Decompressor();
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    // Fills `out` with the next bytes of the content; fewer only where it
    // ends, properly or not (ending()).
    size_t Read(std::span<uint8_t> out);

    Ending ending() const { return ending_; }
    // Why the content ended early, for people ("its bzip2 stream ends
    // early"); empty unless Truncated or Corrupt.
    const std::string& fault() const { return fault_; }

  private:
    void Refill();
    void AfterStreamEnd();
    void End(Ending ending, std::string fault);

    Compression compression_;
    Source source_;
    std::unique_ptr<Codec> codec_;
    std::vector<uint8_t> input_;
    std::span<const uint8_t> pending_;  // read, not yet decoded
    bool inputEnded_ = false;
    uint64_t bytesIn_ = 0;
    Ending ending_ = Ending::NotYet;
    std::string fault_;
};

}  // namespace segweld::unpack
