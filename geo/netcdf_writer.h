#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "geo/cog_writer.h"
#include "geo/product_image.h"
#include "geo/raster_rows.h"
#include "os/file_system.h"

namespace segweld::geo {

// A failure of the NetCDF library; what() says what failed and its reason.
class NetCdfError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One product image of a NetCDF file, with the rows that fill it.
struct NetCdfLayer {
    const ProductImage* image = nullptr;
    RasterRows* rows = nullptr;
};

// Writes `layers` as one NetCDF-4 file into `output`, which the caller
// commits, after the CF-1.11 and ACDD-1.3 conventions: every layer a variable
// named by its channel, on the x and y scan angles (radians, north up) of its
// grid in the geostationary projection (layers of the same placement share
// one grid, others get their own dimensions), with the nominal time, the
// scan's start and end, and the provenance and calibration conventions that
// the GeoTIFF holds as metadata. `absentChannels` names the channels a slot
// lacks. Compressed by deflate with shuffle, in chunks of at most 512 x 512.
// The NetCDF library defines the file; the chunks are then read, calibrated
// and compressed on every usable processor and written whole through HDF5
// (see WriteChunkedLayers). The NetCDF and HDF5 libraries are not
// thread-safe, so their calls are made one at a time in a process: several
// files may be written at once, and only the writing of their compressed
// chunks waits for the others'. Throws NetCdfError, os::ReadError,
// os::OutputError and WriteStopped.
void WriteNetCdf(const std::vector<NetCdfLayer>& layers,
                 const std::vector<std::string>& absentChannels, os::HiddenOutput& output,
                 const WriteProgress& progress);

}  // namespace segweld::geo
