#pragma once

// The image module's one entry, through which the single run and the station
// modes have products written as images. Without GDAL, so that every mode
// can name it; the module (kImageModuleName) holds the writer, and only it
// links GDAL.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "geo/quantity.h"
#include "join/join_segments.h"
#include "join/output_name.h"

namespace segweld::geo {

// How far the writing of an image is: the share done (0 to 1) and the bytes of
// the segment files it reads.
struct ImageProgress {
    double done = 0;
    uint64_t inputBytes = 0;
};

// "GeoTIFF" or "NetCDF", for people.
inline const char* ImageFormatName(OutputKind format) {
    return format == OutputKind::NetCdf ? "NetCDF" : "GeoTIFF";
}

struct ImageRequest {
    std::string segmentPath;   // any segment of the product
    std::string outputFolder;  // the image goes there, named by OutputName
    OutputKind format = OutputKind::GeoTiff;
    bool fillGaps = false;  // walked as JoinOptions::fillGaps walks
    // The quantity asked for; nothing asks for the channel's default.
    std::optional<Quantity> calibration;
    CalibrationMode calibrationMode = CalibrationMode::Nominal;
    // Called between steps, on the writing thread; false stops the run, which
    // then writes nothing.
    std::function<bool(const ImageProgress&)> progress;
};

// Why nothing was written, for what a retry can do about it.
enum class ImageFailure {
    None,
    Data,         // the files hold nothing that makes the image: retrying will not help
    System,       // a read or write failed, no space, a folder that cannot be written
    Interrupted,  // the progress callback stopped the run
};

// What writing a product's image did.
struct ImageReport {
    // The walk over the segments, exactly as a join reports it; it names no
    // output and counts no bytes, since no joined file is ever written.
    JoinReport walk;
    std::vector<std::string> warnings;  // about the image, after the walk's
    std::string outputPath;             // the image written; empty when none was
    uint64_t bytesWritten = 0;          // its size
    std::string error;                  // why nothing was written, for people
    ImageFailure failure = ImageFailure::None;
    Quantity quantity = Quantity::Counts;  // what the pixels hold
    // The product's planned segments, as the image's metadata lists them.
    std::vector<int32_t> segmentsJoined;
    std::vector<int32_t> segmentsMissing;    // no file: nodata (or zeros, when filled)
    std::vector<int32_t> segmentsNotJoined;  // a file, not joined: nodata
    std::vector<int32_t> segmentsFilled;     // missing, filled by --fill-gaps: nodata
    std::vector<int32_t> segmentsDamaged;    // joined, their files ending inside the data

    bool written() const { return !outputPath.empty(); }
};

// Writes the image of the product that the request names (WriteProductImage in
// geo/product_image_writer.h). Prints nothing and touches no process-wide
// state: runs on any thread, several at once.
using WriteProductImageEntry = void (*)(const ImageRequest& request, ImageReport& report);
inline constexpr const char* kWriteProductImageEntryName = "SegweldWriteProductImage";

// The images of one time slot: every channel of it in one file, or for a
// GeoTIFF the channels of one grid in one multi-band file (the 3 km channels
// in `SLOT.tif`, HRV in `SLOT-hrv.tif`, any other grid in `SLOT-CHANNEL.tif`),
// `SLOT` the slot's name.
// A channel of a slot and a segment of its product.
struct SlotMember {
    std::string channel;  // "IR_108", as names carry it
    std::string segmentPath;
};

struct SlotImageRequest {
    std::string slotName;  // "h-msg2-0deg-201010111400"
    std::vector<SlotMember> members;
    // Channels the slot wants but has no product of: named in the files.
    std::vector<std::string> absentChannels;
    std::string outputFolder;
    OutputKind format = OutputKind::NetCdf;
    bool fillGaps = false;
    std::optional<Quantity> calibration;  // each channel's own when none
    CalibrationMode calibrationMode = CalibrationMode::Nominal;
    std::function<bool(const ImageProgress&)> progress;
};

struct SlotImageReport {
    std::vector<std::string> outputPaths;  // written, once all were
    uint64_t bytesWritten = 0;
    std::vector<std::string> channels;  // in the files
    // Absent from the files: those without a product, and those whose
    // product made no image (a warning says why).
    std::vector<std::string> absentChannels;
    std::vector<std::string> warnings;
    std::string error;  // why nothing was written
    ImageFailure failure = ImageFailure::None;

    bool written() const { return !outputPaths.empty(); }
};

// Writes the slot's images (WriteSlotImage in geo/slot_image_writer.h), as
// WriteProductImageEntry does a product's.
using WriteSlotImageEntry = void (*)(const SlotImageRequest& request, SlotImageReport& report);
inline constexpr const char* kWriteSlotImageEntryName = "SegweldWriteSlotImage";

// The module's entries, as a program loads them.
struct ImageEntries {
    WriteProductImageEntry product = nullptr;
    WriteSlotImageEntry slot = nullptr;
};

// The module beside the program (or in its private folder) that holds the
// image writers.
inline constexpr const char* kImageModuleName = "segweld-geotiff.so";

}  // namespace segweld::geo
