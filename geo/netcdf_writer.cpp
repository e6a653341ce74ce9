#include "geo/netcdf_writer.h"

#include <cpl_conv.h>
#include <netcdf.h>
#include <netcdf_mem.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <mutex>
#include <optional>

#include "geo/chunked_layers_writer.h"
#include "segweld_version.h"

namespace segweld::geo {
namespace {

constexpr size_t kChunkSize = 512;
// Deflate's level: as for the GeoTIFF, the compressor takes nearly all of the
// time, and level 1 costs a fraction of the higher levels' time for files
// little larger.
constexpr int kDeflateLevel = 1;
// HDF5's cache of chunks, per variable: every chunk is written whole, encoded
// beforehand, and needs no cache.
constexpr size_t kChunkCacheBytes = 1 << 20;
constexpr const char* kGridMapping = "geostationary";
// What the file defined in memory starts with; it grows as needed.
constexpr size_t kInitialFileBytes = 1 << 20;

// The NetCDF library and the HDF5 library beneath it keep state of their own
// without locks: one call at a time in this process. Between the calls, the
// rows of the next strips are read, calibrated and compressed unlocked.
std::mutex& LibraryLock() {
    static std::mutex lock;
    return lock;
}

// The library reports a failed read or write of the file by a code of its
// own ("Permission denied" for a full disk): the system's reason, which the
// call left in errno, says more. Callers clear errno before the calls whose
// failure it explains.
void Check(int status, const std::string& what) {
    if (status == NC_NOERR) {
        return;
    }
    std::string why = nc_strerror(status);
    if (errno != 0) {
        char text[256] = "";
        why = strerror_r(errno, text, sizeof text);
    }
    throw NetCdfError("cannot " + what + ": " + why);
}

// The file as the NetCDF library defines it, in memory: its dimensions,
// variables, attributes and coordinates, without the pixels. Defined on disk,
// a write that fails (a full disk) leaves the library unable to abort the
// file without crashing; in memory nothing can fail that way, and the file's
// bytes go to the output as every output's do.
class File {
  public:
    explicit File(const std::string& name) {
        Check(nc_create_mem(name.c_str(), NC_NETCDF4, kInitialFileBytes, &id_),
              "create the NetCDF file");
    }
    ~File() {
        if (id_ >= 0) {
            std::lock_guard lock(LibraryLock());
            nc_abort(id_);
        }
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    int id() const { return id_; }
    // The file's bytes.
    std::vector<uint8_t> Close() {
        NC_memio memory{};
        Check(nc_close_memio(std::exchange(id_, -1), &memory), "finish the NetCDF file");
        const auto* bytes = static_cast<const uint8_t*>(memory.memory);
        std::vector<uint8_t> image(bytes, bytes + memory.size);
        std::free(memory.memory);
        return image;
    }

    void Text(int variable, const std::string& name, const std::string& value) {
        Check(nc_put_att_text(id_, variable, name.c_str(), value.size(), value.c_str()),
              "write the attribute " + name);
    }
    void Double(int variable, const std::string& name, double value) {
        Check(nc_put_att_double(id_, variable, name.c_str(), NC_DOUBLE, 1, &value),
              "write the attribute " + name);
    }
    void Ints(int variable, const std::string& name, const std::vector<int>& values) {
        Check(nc_put_att_int(id_, variable, name.c_str(), NC_INT, values.size(), values.data()),
              "write the attribute " + name);
    }
    int Dimension(const std::string& name, size_t length) {
        int dimension = -1;
        Check(nc_def_dim(id_, name.c_str(), length, &dimension), "define the dimension " + name);
        return dimension;
    }
    int Variable(const std::string& name, nc_type type, const std::vector<int>& dimensions) {
        int variable = -1;
        Check(nc_def_var(id_, name.c_str(), type, static_cast<int>(dimensions.size()),
                         dimensions.data(), &variable),
              "define the variable " + name);
        return variable;
    }

  private:
    int id_ = -1;
};

// One x/y grid: the placement of the layers on it.
struct Grid {
    RasterPlacement placement;
    uint32_t width = 0;
    uint32_t height = 0;
    int x = -1, y = -1;  // the dimensions, which their coordinate variables share
    int xVariable = -1, yVariable = -1;
};

// The scan angles in radians of the pixel centres along one axis.
std::vector<double> Angles(double edge, double step, uint32_t count) {
    std::vector<double> angles(count);
    for (uint32_t i = 0; i < count; ++i) {
        angles[i] = (edge + (i + 0.5) * step) / kSatelliteHeight;
    }
    return angles;
}

std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string WktOf(double longitude) {
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    char* wkt = nullptr;
    const bool ok = OSRImportFromProj4(srs, GeosProjDefinition(longitude).c_str()) == OGRERR_NONE &&
                    OSRExportToWkt(srs, &wkt) == OGRERR_NONE;
    std::string text = ok && wkt != nullptr ? wkt : "";
    CPLFree(wkt);
    OSRDestroySpatialReference(srs);
    if (text.empty()) {
        throw NetCdfError("cannot describe the geostationary projection as WKT");
    }
    return text;
}

// Seconds since 1970 of the nominal time, to the minute.
double NominalSeconds(const std::tm& time) {
    using namespace std::chrono;
    const sys_days day =
        year_month_day(year(time.tm_year + 1900), month(static_cast<unsigned>(time.tm_mon + 1)),
                       std::chrono::day(static_cast<unsigned>(time.tm_mday)));
    return static_cast<double>(day.time_since_epoch() / seconds(1)) + time.tm_hour * 3600.0 +
           time.tm_min * 60.0;
}

std::string NowIso() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

const char* StandardName(Quantity quantity) {
    switch (quantity) {
        case Quantity::BrightnessTemperature:
            return "toa_brightness_temperature";
        case Quantity::Reflectance:
            return "toa_bidirectional_reflectance";
        case Quantity::Radiance:
            return "toa_outgoing_radiance_per_unit_wavenumber";
        case Quantity::Counts:
            break;
    }
    return "";
}

// The HRV windows' bounds are written as numbers, not as the GeoTIFF's text.
bool WrittenAsText(const std::string& tag, const std::string& value) {
    return !value.empty() && !tag.starts_with("TIFFTAG_") && !tag.ends_with("_WINDOW");
}

class Writer {
  public:
    Writer(const std::vector<NetCdfLayer>& layers, const std::vector<std::string>& absent,
           os::HiddenOutput& output, const WriteProgress& progress)
        : layers_(layers), absent_(absent), output_(output), progress_(progress) {}

    void Write() {
        const ProductImage& first = *layers_.front().image;
        std::vector<uint8_t> defined;
        {
            std::lock_guard lock(LibraryLock());
            file_.emplace(output_.finalPath());
            DefineGlobals(first);
            DefineTime(first);
            DefineGridMapping(first);
            for (const NetCdfLayer& layer : layers_) {
                DefineVariable(layer, GridOf(*layer.image));
            }
            Check(nc_enddef(file_->id()), "end the NetCDF definitions");
            WriteCoordinates(first);
            defined = file_->Close();
        }
        output_.WriteAt(0, defined);
        WriteChunkedLayers(chunked_, output_.NameForLibrary(), LibraryLock(), kDeflateLevel,
                           progress_);
    }

  private:
    void DefineGlobals(const ProductImage& image) {
        const int global = NC_GLOBAL;
        const bool single = layers_.size() == 1;
        const std::string when = IsoTime(image.frame.nominalTime);
        std::string channels;
        for (const NetCdfLayer& layer : layers_) {
            channels += (channels.empty() ? "" : " ") + layer.image->channel;
        }
        const std::string platform =
            image.platform.empty() ? image.frame.satellite : image.platform;
        file_->Text(global, "Conventions", "CF-1.11, ACDD-1.3");
        file_->Text(global, "title",
                    platform + " SEVIRI " +
                        (single ? image.channel + " " + QuantityName(image.quantity) : "slot") +
                        (when.empty() ? "" : " at " + when));
        file_->Text(global, "summary",
                    "SEVIRI Level 1.5 image data of " + channels +
                        " on the geostationary grid of the image navigation, north up");
        file_->Text(global, "platform", platform);
        file_->Text(global, "instrument", "SEVIRI");
        file_->Text(global, "source", "MSG Level 1.5 image data in HRIT/LRIT segment files");
        const std::string created = NowIso();
        file_->Text(global, "date_created", created);
        file_->Text(global, "history", created + " written by Segweld " SEGWELD_VERSION);
        file_->Text(global, "software", "Segweld " SEGWELD_VERSION);
        file_->Text(global, "channels", channels);
        std::string missing;
        for (const std::string& channel : absent_) {
            missing += (missing.empty() ? "" : " ") + channel;
        }
        if (!single || !absent_.empty()) {
            file_->Text(global, "channels_absent", missing);
        }
        if (!image.scanStart.empty()) {
            file_->Text(global, "time_coverage_start", image.scanStart);
            file_->Text(global, "time_coverage_end", image.scanEnd);
        }
        for (const auto& [tag, value] : image.description.tags) {
            if (WrittenAsText(tag, value) && (single || !IsProductTag(tag))) {
                file_->Text(global, LowerCase(tag), value);
            }
        }
        if (single) {
            WriteWindows(global, image);
        }
    }

    void DefineTime(const ProductImage& image) {
        time_ = file_->Variable("time", NC_DOUBLE, {});
        file_->Text(time_, "standard_name", "time");
        file_->Text(time_, "long_name", "nominal time of the repeat cycle");
        file_->Text(time_, "units", "seconds since 1970-01-01 00:00:00");
        file_->Text(time_, "calendar", "standard");
        file_->Text(time_, "axis", "T");
        if (!image.scanStart.empty()) {
            file_->Text(time_, "scan_start_time", image.scanStart);
            file_->Text(time_, "scan_end_time", image.scanEnd);
        }
    }

    void DefineGridMapping(const ProductImage& image) {
        const int crs = file_->Variable(kGridMapping, NC_INT, {});
        const double longitude = image.description.subSatelliteLongitude;
        file_->Text(crs, "grid_mapping_name", "geostationary");
        file_->Double(crs, "perspective_point_height", kSatelliteHeight);
        file_->Double(crs, "semi_major_axis", kEquatorialRadius);
        file_->Double(crs, "semi_minor_axis", kPolarRadius);
        file_->Double(crs, "longitude_of_projection_origin", longitude);
        file_->Double(crs, "latitude_of_projection_origin", 0.0);
        file_->Text(crs, "sweep_angle_axis", "y");
        file_->Double(crs, "false_easting", 0.0);
        file_->Double(crs, "false_northing", 0.0);
        file_->Text(crs, "crs_wkt", WktOf(longitude));
    }

    Grid& GridOf(const ProductImage& image) {
        const RasterPlacement& placement = image.description.placement;
        const uint32_t width = image.frame.navigation.columns;
        const uint32_t height = image.frame.navigation.lines;
        for (Grid& grid : grids_) {
            if (grid.placement.geoTransform == placement.geoTransform && grid.width == width &&
                grid.height == height) {
                return grid;
            }
        }
        const std::string suffix = grids_.empty() ? "" : "_" + LowerCase(image.channel);
        Grid grid{placement, width, height};
        grid.y = file_->Dimension("y" + suffix, height);
        grid.x = file_->Dimension("x" + suffix, width);
        grid.xVariable = DefineAxis("x" + suffix, grid.x, "x");
        grid.yVariable = DefineAxis("y" + suffix, grid.y, "y");
        grids_.push_back(grid);
        return grids_.back();
    }

    int DefineAxis(const std::string& name, int dimension, const std::string& axis) {
        const int variable = file_->Variable(name, NC_DOUBLE, {dimension});
        const bool x = axis == "x";
        file_->Text(variable, "standard_name",
                    x ? "projection_x_angular_coordinate" : "projection_y_angular_coordinate");
        file_->Text(variable, "long_name",
                    x ? "scan angle east of the sub-satellite point"
                      : "scan angle north of the sub-satellite point");
        file_->Text(variable, "units", "rad");
        file_->Text(variable, "axis", x ? "X" : "Y");
        return variable;
    }

    // Defines the variable of `layer`, whose chunks are written later.
    void DefineVariable(const NetCdfLayer& layer, const Grid& grid) {
        const ProductImage& image = *layer.image;
        const RasterRows& rows = *layer.rows;
        const StoredPixel stored = rows.calibrated()          ? StoredPixel::Float32
                                   : rows.bitsPerPixel() <= 8 ? StoredPixel::UInt8
                                                              : StoredPixel::UInt16;
        const nc_type type = stored == StoredPixel::Float32 ? NC_FLOAT
                             : stored == StoredPixel::UInt8 ? NC_UBYTE
                                                            : NC_USHORT;
        const int variable = file_->Variable(image.channel, type, {grid.y, grid.x});
        const size_t chunks[] = {std::min<size_t>(kChunkSize, grid.height),
                                 std::min<size_t>(kChunkSize, grid.width)};
        chunked_.push_back({layer.rows,
                            image.channel,
                            stored,
                            {static_cast<uint32_t>(chunks[0]), static_cast<uint32_t>(chunks[1])}});
        Check(nc_def_var_chunking(file_->id(), variable, NC_CHUNKED, chunks), "chunk the variable");
        Check(nc_def_var_deflate(file_->id(), variable, 1, 1, kDeflateLevel),
              "compress the variable");
        Check(nc_set_var_chunk_cache(file_->id(), variable, kChunkCacheBytes, 7, 0.75f),
              "size the chunk cache");
        if (rows.calibrated()) {
            const float nothing = std::numeric_limits<float>::quiet_NaN();
            Check(nc_def_var_fill(file_->id(), variable, 0, &nothing), "define the fill value");
        } else {
            const uint16_t nothing16 = 0;
            const uint8_t nothing8 = 0;
            Check(nc_def_var_fill(file_->id(), variable, 0,
                                  type == NC_UBYTE ? static_cast<const void*>(&nothing8)
                                                   : static_cast<const void*>(&nothing16)),
                  "define the fill value");
        }
        const BandDescription& band = image.description.band;
        if (image.quantity != Quantity::Counts) {
            file_->Text(variable, "standard_name", StandardName(image.quantity));
        }
        file_->Text(variable, "long_name", band.description);
        file_->Text(variable, "units", image.quantity == Quantity::Counts ? "1" : band.unit);
        file_->Text(variable, "coordinates", "time");
        file_->Text(variable, "grid_mapping", kGridMapping);
        if (!image.wavelength.empty()) {
            file_->Double(variable, "central_wavelength", std::stod(image.wavelength));
            file_->Text(variable, "central_wavelength_units", "um");
        }
        if (band.scaled) {
            // Not scale_factor and add_offset, which readers would apply:
            // the values are counts.
            file_->Double(variable, "radiance_slope", band.scale);
            file_->Double(variable, "radiance_offset", band.offset);
            file_->Text(variable, "radiance_units", band.unit);
        }
        for (const auto& [tag, value] : image.description.tags) {
            if (WrittenAsText(tag, value) && IsProductTag(tag)) {
                file_->Text(variable, LowerCase(tag), value);
            }
        }
        WriteWindows(variable, image);
    }

    // South and north line (from 1 in the south), east and west column (from
    // 1 in the east) of each HRV window in the full-disk HRV grid.
    void WriteWindows(int variable, const ProductImage& image) {
        if (!image.hrvWindows) {
            return;
        }
        const HrvCoverage& w = *image.hrvWindows;
        file_->Ints(variable, "hrv_lower_window",
                    {w.lowerSouthLine, w.lowerNorthLine, w.lowerEastColumn, w.lowerWestColumn});
        file_->Ints(variable, "hrv_upper_window",
                    {w.upperSouthLine, w.upperNorthLine, w.upperEastColumn, w.upperWestColumn});
    }

    void WriteCoordinates(const ProductImage& image) {
        for (const Grid& grid : grids_) {
            const auto& gt = grid.placement.geoTransform;
            const std::vector<double> x = Angles(gt[0], gt[1], grid.width);
            const std::vector<double> y = Angles(gt[3], gt[5], grid.height);
            Check(nc_put_var_double(file_->id(), grid.xVariable, x.data()), "write x");
            Check(nc_put_var_double(file_->id(), grid.yVariable, y.data()), "write y");
        }
        if (image.frame.nominalTime.tm_mday != 0) {
            const double seconds = NominalSeconds(image.frame.nominalTime);
            Check(nc_put_var_double(file_->id(), time_, &seconds), "write the time");
        }
    }

    const std::vector<NetCdfLayer>& layers_;
    const std::vector<std::string>& absent_;
    os::HiddenOutput& output_;
    std::optional<File> file_;
    const WriteProgress& progress_;
    std::vector<Grid> grids_;
    std::vector<ChunkedLayer> chunked_;
    int time_ = -1;
};

}  // namespace

void WriteNetCdf(const std::vector<NetCdfLayer>& layers,
                 const std::vector<std::string>& absentChannels, os::HiddenOutput& output,
                 const WriteProgress& progress) {
    if (layers.empty()) {
        throw NetCdfError("no image to write");
    }
    Writer(layers, absentChannels, output, progress).Write();
    output.TakeSizeWritten();
}

}  // namespace segweld::geo
