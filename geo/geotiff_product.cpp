#include "geo/geotiff_product.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "geo/cog_writer.h"
#include "geo/prologue_earth_model.h"
#include "hrit/header_reader.h"
#include "join/number_list.h"
#include "join/output_name.h"
#include "join/segment_name.h"
#include "os/file_system.h"
#include "os/native_path.h"

namespace segweld::geo {
namespace {

namespace fs = std::filesystem;

// A hidden folder for the joined file and GDAL's temporaries; removed with
// everything in it when the object goes.
class WorkFolder {
  public:
    explicit WorkFolder(const std::string& parent) {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            char name[40];
            std::snprintf(name, sizeof name, ".segweld-geotiff-%08x", random());
            std::error_code error;
            const fs::path candidate = os::PathOf(parent) / name;
            if (fs::create_directory(candidate, error)) {
                path_ = candidate;
                return;
            }
            if (error) {
                throw GeoTiffError("cannot create a working folder in " + parent + ": " +
                                   error.message());
            }
        }
        throw GeoTiffError("cannot create a working folder in " + parent);
    }
    ~WorkFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// The headers of the segments the join wrote, read again from their files.
std::vector<JoinedSegment> ReadJoinedSegments(const JoinReport& join) {
    std::vector<JoinedSegment> segments;
    CHritHeaderReader reader([](uint32_t) {});  // the join has reported odd records already
    for (const SegmentOutcome& outcome : join.segments) {
        if (outcome.status != SegmentStatus::Accepted) {
            continue;
        }
        std::ifstream stream(os::PathOf(outcome.path), std::ios::binary);
        if (!stream || reader.ReadHeader(stream) == 0) {
            throw GeoTiffError("segment " + outcome.path + " changed while it was being joined");
        }
        segments.push_back({outcome.number, outcome.path, reader.header(), reader.headerLength()});
    }
    return segments;
}

const char* OffsetTag(GeoreferencingOffset offset) {
    switch (offset) {
        case GeoreferencingOffset::Corrected:
            return "corrected in the data";
        case GeoreferencingOffset::NotCorrected:
            return "not corrected in the data; geotransform shifted 1.5 km south-east";
        case GeoreferencingOffset::Unknown:
            break;
    }
    return "unknown (no prologue); the header's navigation is used as it stands";
}

RasterDescription DescribeRaster(const ProductFrame& frame, const JoinReport& join,
                                 const EarthModelReading& earthModel) {
    RasterDescription description;
    description.placement = PlaceStoredImage(frame.navigation);
    if (earthModel.offset == GeoreferencingOffset::NotCorrected) {
        ShiftForUncorrectedOffset(description.placement);
    }
    description.subSatelliteLongitude = frame.subSatelliteLongitude;
    description.tags = {
        {"SATELLITE", frame.satellite},
        {"CHANNEL", frame.channel},
        {"NOMINAL_TIME", frame.nominalTime},
        {"SEGMENTS_JOINED", FormatNumberList(frame.joined)},
        {"SEGMENTS_MISSING", FormatNumberList(frame.missing)},
        {"SEGMENTS_FILLED", FormatNumberList(join.filled)},
        {"GEOREFERENCING_OFFSET", OffsetTag(earthModel.offset)},
    };
    return description;
}

// The joined output's name (JoinedOutputName) with ".tif" for its extension.
std::string GeoTiffPath(const std::string& segmentPath, const std::string& outputFolder) {
    return JoinedOutputPath(outputFolder, LowerAscii(SplitSegmentPath(segmentPath).name) + ".tif");
}

void Convert(const std::string& segmentPath, const std::string& geoTiffPath, const WorkFolder& work,
             const GeoTiffOptions& options, GeoTiffReport& report) {
    const ProductFrame frame = FrameProduct(ReadJoinedSegments(report.join));
    const EarthModelReading earthModel = ReadEarthModel(segmentPath);
    if (earthModel.offset == GeoreferencingOffset::Unknown) {
        report.warnings.push_back(earthModel.problem +
                                  "; the georeferencing offset of data before December 2017 may "
                                  "be present and is not corrected");
    }
    const fs::path hidden = work.path() / "product.tif";
    WriteCloudOptimizedGeoTiff(frame, DescribeRaster(frame, report.join, earthModel),
                               os::TextOf(work.path()), os::TextOf(hidden), options.stopRequested);
    os::CommitFinishedFile(os::TextOf(hidden), geoTiffPath);
    report.outputPath = geoTiffPath;
}

}  // namespace

GeoTiffReport WriteProductGeoTiff(const std::string& segmentPath, const std::string& outputFolder,
                                  const GeoTiffOptions& options) {
    GeoTiffReport report;
    try {
        const std::string geoTiffPath = GeoTiffPath(segmentPath, outputFolder);
        // Beside the file committed onto, so that the commit is one rename.
        const WorkFolder work(os::CommitFolder(geoTiffPath));
        JoinOptions joinOptions;
        joinOptions.fillGaps = options.fillGaps;
        joinOptions.progress = [&options](const JoinProgress&) { return !options.stopRequested(); };
        report.join = JoinSegments(segmentPath, os::TextOf(work.path()), joinOptions);
        if (!report.join.written()) {
            report.error = report.join.FailureText();
            return report;
        }
        Convert(segmentPath, geoTiffPath, work, options, report);
    } catch (const ProductRefused& refusal) {
        report.error = std::string("no GeoTIFF written: ") + refusal.what();
    } catch (const std::exception& failure) {
        report.error = std::string("no GeoTIFF written: ") + failure.what();
    }
    return report;
}

}  // namespace segweld::geo
