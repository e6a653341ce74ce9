#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "geo/cog_writer.h"
#include "geo/hdf5_chunk_encoder.h"
#include "geo/raster_rows.h"

namespace segweld::geo {

// How a layer's pixels are stored: floats for calibrated values, counts in
// 16 or 8 bits.
enum class StoredPixel { Float32, UInt16, UInt8 };

// One variable of a NetCDF-4 file and the rows that fill it.
struct ChunkedLayer {
    RasterRows* rows = nullptr;
    std::string variable;
    StoredPixel stored = StoredPixel::Float32;
    ChunkShape shape;  // of its chunks, whose rows a strip of rows fills
};

// Fills the variables of `fileName`, a NetCDF-4 file that the NetCDF library
// defined and closed, a strip of a chunk's height at a time: the strips are
// read and their chunks encoded (Hdf5ChunkEncoder at `deflateLevel`, NaN or 0
// the fill) on every usable processor, as few strips in flight as keep them
// busy within a bound on memory, and the encoded chunks written whole on
// this thread under `libraryLock`, which guards the HDF5 library. A layer's
// rows are read by one thread at a time. `progress` hears of each strip
// written, on this thread. Throws NetCdfError, os::ReadError and WriteStopped.
void WriteChunkedLayers(const std::vector<ChunkedLayer>& layers, const std::string& fileName,
                        std::mutex& libraryLock, int deflateLevel, const WriteProgress& progress);

}  // namespace segweld::geo
