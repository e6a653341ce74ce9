#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "geo/zlib_stream.h"

namespace segweld::geo {

// The shape of the chunks of a two-dimensional dataset, rows by columns.
struct ChunkShape {
    uint32_t rows = 0;
    uint32_t columns = 0;
};

// Encodes chunks as HDF5 stores them behind its shuffle and deflate filters,
// for writing directly: the chunk's elements row by row, padded to the full
// chunk with the fill value where the dataset ends; its bytes shuffled (the
// first byte of every element, then the second, ...); all of that as one
// zlib stream (ZlibStream). One encoder per thread.
class Hdf5ChunkEncoder {
  public:
    // `level`: ZlibStream's.
    explicit Hdf5ChunkEncoder(int level);

    // The chunk whose top-left element is column `left` of `strip`'s first
    // row, where `strip` holds `rows` rows of `width` pixels, each stored as
    // a Stored.
    template <typename Stored, typename Pixel>
    std::vector<uint8_t> Encode(std::span<const Pixel> strip, uint32_t width, uint32_t rows,
                                uint32_t left, ChunkShape shape, Stored fill);

  private:
    ZlibStream zlib_;
    std::vector<uint32_t> elements_;
    std::vector<uint8_t> shuffled_;
};

}  // namespace segweld::geo
