#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace segweld::geo {

// Compresses a buffer into one zlib stream (deflate behind a zlib header,
// with the Adler-32 checksum after it), which any inflater reads as it reads
// zlib's own, by ISA-L's igzip: at level 1 several times faster than zlib
// and libdeflate, for files about as large. One per thread.
class ZlibStream {
  public:
    // `level`: 1 the fastest.
    explicit ZlibStream(int level);
    ~ZlibStream();
    ZlibStream(const ZlibStream&) = delete;
    ZlibStream& operator=(const ZlibStream&) = delete;

    // The stream of `data`, which the next call overwrites.
    std::span<const uint8_t> Compress(std::span<const uint8_t> data);

  private:
    struct Compressor;
    std::unique_ptr<Compressor> compressor_;
    std::vector<uint8_t> out_;
};

}  // namespace segweld::geo
