#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "geo/hdf5_chunk_encoder.h"

namespace segweld::geo {

// A NetCDF-4 file that the NetCDF library defined and closed, opened again
// through the HDF5 library beneath it to write its variables' chunks as
// Hdf5ChunkEncoder encoded them, each chunk whole. Not thread-safe, as HDF5
// is not: its calls are made under the NetCDF library's lock. Throws
// NetCdfError, with the system's reason where a read or write failed.
class Hdf5ChunkFile {
  public:
    explicit Hdf5ChunkFile(const std::string& name);
    // Closes what is open; the file is then to be abandoned.
    ~Hdf5ChunkFile();
    Hdf5ChunkFile(const Hdf5ChunkFile&) = delete;
    Hdf5ChunkFile& operator=(const Hdf5ChunkFile&) = delete;

    // Opens the variable `name`, which must be two-dimensional, chunked in
    // `shape`, filtered by shuffle and then deflate alone, and of elements of
    // `elementSize` bytes in this machine's byte order. Returns its index for
    // WriteChunk.
    size_t Open(const std::string& name, ChunkShape shape, size_t elementSize);
    // Writes the encoded chunk whose top-left element is (`row`, `column`).
    void WriteChunk(size_t variable, uint64_t row, uint64_t column,
                    std::span<const uint8_t> encoded);
    // Closes the variables and the file, which is then complete.
    void Close();

  private:
    // What HDF5 still has to write of a file that failed goes nowhere, so
    // that it can close the file (HDF5 1.10 cannot close a file whose last
    // writes fail, and crashes trying again at the process's end). The file
    // descriptor HDF5 holds is pointed at a file in memory: the hidden output
    // it wrote is abandoned anyway.
    void DiscardWrites();
    void CloseAll();

    int64_t file_ = -1;
    std::vector<int64_t> datasets_;
};

}  // namespace segweld::geo
