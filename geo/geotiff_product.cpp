#include "geo/geotiff_product.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "geo/cog_writer.h"
#include "geo/level15_records.h"
#include "geo/product_frame.h"
#include "geo/seviri_channels.h"
#include "hrit/header_reader.h"
#include "join/number_list.h"
#include "join/output_name.h"
#include "join/segment_name.h"
#include "join/walk_plan.h"
#include "os/file_system.h"
#include "segweld_version.h"

namespace segweld::geo {
namespace {

namespace fs = std::filesystem;

// The prologue's earth model type of data whose georeferencing offset was
// corrected.
constexpr uint8_t kCorrectedEarthModel = 2;

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
            const fs::path candidate = fs::path(parent) / name;
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
        std::ifstream stream(outcome.path, std::ios::binary);
        if (!stream || reader.ReadHeader(stream) == 0) {
            throw GeoTiffError("segment " + outcome.path + " changed while it was being joined");
        }
        segments.push_back({outcome.number, outcome.path, reader.header(), reader.headerLength()});
    }
    return segments;
}

// Where the georeferencing comes from, for the GeoTIFF's tag, and whether
// the data lie 1.5 km north-west of the header's navigation.
struct Georeferencing {
    std::string tag;
    bool shift = false;
};

Georeferencing GeoreferenceProduct(bool seviri, const ProductFrame& frame,
                                   const PrologueReading& prologue,
                                   std::vector<std::string>& warnings) {
    const std::string asItStands = "the header's navigation is used as it stands";
    if (seviri && prologue.record) {
        if (prologue.record->earthModelType == kCorrectedEarthModel) {
            return {"corrected in the data", false};
        }
        return {"not corrected in the data; geotransform shifted 1.5 km south-east", true};
    }
    if (!seviri && !prologue.path.empty()) {
        return {"not applicable: " + frame.channel + " of " + frame.satellite +
                    " is not MSG Level 1.5 data; " + asItStands,
                false};
    }
    warnings.push_back(prologue.problem +
                       (seviri ? "; the georeferencing offset of data before December 2017 may "
                                 "be present and is not corrected"
                               : "; " + asItStands));
    return {"unknown (no usable prologue); " + asItStands, false};
}

// The quantity the pixels hold and, when calibrated, each count's value.
struct PixelPlan {
    Quantity quantity = Quantity::Counts;
    std::vector<float> calibration;
};

std::string Asked(Quantity quantity, const std::optional<Quantity>& requested,
                  const std::string& channel) {
    return std::string(QuantityName(quantity)) +
           (requested ? "" : " (the default for " + channel + ")") + " was asked for, but ";
}

PixelPlan PlanPixels(const std::optional<SeviriChannel>& channel, const ProductFrame& frame,
                     const GeoTiffOptions& options, const PrologueReading& prologue,
                     const EpilogueReading& epilogue, std::vector<std::string>& warnings) {
    const std::string holdsCounts = "; the GeoTIFF holds counts";
    PixelPlan plan;
    if (!channel) {
        if (options.calibration.value_or(Quantity::Counts) != Quantity::Counts) {
            warnings.push_back(Asked(*options.calibration, options.calibration, frame.channel) +
                               frame.channel + " of " + frame.satellite +
                               " is not a SEVIRI channel, the only ones whose calibration is "
                               "known here" +
                               holdsCounts);
        }
        return plan;
    }
    const Quantity wanted = options.calibration.value_or(DefaultQuantity(*channel));
    if (!HasQuantity(*channel, wanted)) {
        throw ProductRefused(frame.channel + " has no " + QuantityName(wanted) +
                             ": it is calibrated to counts, radiance or " +
                             QuantityName(DefaultQuantity(*channel)));
    }
    if (wanted == Quantity::Counts) {
        return plan;
    }
    std::string problem = prologue.problem;
    if (prologue.record) {
        const bool scanned = epilogue.record && !epilogue.record->forwardScanStart.empty();
        const CdsTime scanStart =
            scanned ? epilogue.record->forwardScanStart : prologue.record->repeatCycleStart;
        plan.calibration = CalibrationTable(wanted, *channel, frame.channel, *prologue.record,
                                            scanStart.UnixSeconds(), frame.bitsPerPixel, problem);
    }
    if (plan.calibration.empty()) {
        warnings.push_back(Asked(wanted, options.calibration, frame.channel) + problem +
                           holdsCounts);
        return plan;
    }
    plan.quantity = wanted;
    return plan;
}

BandDescription DescribeBand(const std::optional<SeviriChannel>& channel, const ProductFrame& frame,
                             const PixelPlan& plan, const PrologueReading& prologue) {
    BandDescription band;
    const std::string label =
        channel ? frame.channel + " (" + channel->centralWavelength + " um)" : frame.channel;
    band.description = label + " " + QuantityName(plan.quantity);
    band.unit = QuantityUnit(plan.quantity);
    if (plan.quantity == Quantity::Counts && channel && prologue.record) {
        const auto index = static_cast<size_t>(channel->id - 1);
        band.scaled = true;
        band.scale = prologue.record->calibrationSlope[index];
        band.offset = prologue.record->calibrationOffset[index];
        band.unit = QuantityUnit(Quantity::Radiance);
    }
    return band;
}

const char* HrvWindowsTag(HrvPlacement placement) {
    switch (placement) {
        case HrvPlacement::Epilogue:
            return "placed by the epilogue's actual HRV coverage";
        case HrvPlacement::Navigation:
            return "placed by each segment's column offset";
        case HrvPlacement::NotHrv:
            break;
    }
    return "";
}

std::string Platform(const ProductFrame& frame, const PrologueReading& prologue) {
    return PlatformName(prologue.record ? prologue.record->satelliteId : frame.spacecraftId);
}

// The joined output's name (JoinedOutputName) with ".tif" for its extension:
// with --fill-gaps, that of the plan's first segment, as the join names it.
std::string GeoTiffPath(const std::string& segmentPath, const std::string& outputFolder,
                        bool fillGaps) {
    return JoinedOutputPath(outputFolder,
                            LowerAscii(PlanWalk(segmentPath, fillGaps).namingName) + ".tif");
}

void Convert(const std::string& segmentPath, const std::string& geoTiffPath, const WorkFolder& work,
             const GeoTiffOptions& options, GeoTiffReport& report) {
    const std::vector<JoinedSegment> segments = ReadJoinedSegments(report.join);
    const PrologueReading prologue = ReadPrologue(segmentPath);
    const EpilogueReading epilogue = ReadEpilogue(segmentPath);
    const HrvCoverage* coverage = epilogue.record ? &epilogue.record->hrv : nullptr;
    const ProductFrame frame = FrameProduct(segments, coverage, report.warnings);
    if (frame.hrvPlacement == HrvPlacement::Navigation && coverage == nullptr) {
        report.warnings.push_back(epilogue.problem +
                                  "; the HRV windows are placed by each segment's column offset, "
                                  "which places a segment that holds lines of both windows as a "
                                  "whole");
    }
    const std::optional<SeviriChannel> channel = ChannelById(frame.channelCode);
    const PixelPlan plan = PlanPixels(channel, frame, options, prologue, epilogue, report.warnings);
    const Georeferencing georeferencing =
        GeoreferenceProduct(channel.has_value(), frame, prologue, report.warnings);

    RasterDescription description;
    description.placement = PlaceStoredImage(frame.navigation);
    if (georeferencing.shift) {
        ShiftForUncorrectedOffset(description.placement);
    }
    description.subSatelliteLongitude = frame.subSatelliteLongitude;
    description.band = DescribeBand(channel, frame, plan, prologue);
    // Not joined, apart: those that have no file, and those whose file was
    // refused or lies beyond the gap that ended the walk.
    std::vector<int32_t> missing, notJoined;
    const SegmentPath parts = SplitSegmentPath(segmentPath);
    for (const int32_t number : frame.missing) {
        const bool exists = PathExists(parts.directory + SegmentName(parts.name, number));
        (exists ? notJoined : missing).push_back(number);
    }
    description.tags = {
        {"SATELLITE", frame.satellite},
        {"PLATFORM", Platform(frame, prologue)},
        {"CHANNEL", frame.channel},
        {"CALIBRATION", QuantityName(plan.quantity)},
        {"NOMINAL_TIME", IsoTime(frame.nominalTime)},
        {"TIFFTAG_DATETIME", TiffTime(frame.nominalTime)},
        {"TIFFTAG_SOFTWARE", "Segweld " SEGWELD_VERSION},
        {"SEGMENTS_JOINED", FormatNumberList(frame.joined)},
        {"SEGMENTS_MISSING", FormatNumberList(missing)},
        {"SEGMENTS_NOT_JOINED", FormatNumberList(notJoined)},
        {"SEGMENTS_FILLED", FormatNumberList(report.join.filled)},
        {"GEOREFERENCING_OFFSET", georeferencing.tag},
        {"HRV_WINDOWS", HrvWindowsTag(frame.hrvPlacement)},
    };
    const fs::path hidden = work.path() / "product.tif";
    WriteCloudOptimizedGeoTiff(frame, description, plan.calibration, work.path().string(),
                               hidden.string(), options.stopRequested);
    os::CommitFinishedFile(hidden.string(), geoTiffPath);
    report.outputPath = geoTiffPath;
    report.quantity = plan.quantity;
    report.segmentsJoined = frame.joined;
    report.segmentsMissing = missing;
    report.segmentsNotJoined = notJoined;
    report.segmentsFilled = report.join.filled;
}

}  // namespace

GeoTiffReport WriteProductGeoTiff(const std::string& segmentPath, const std::string& outputFolder,
                                  const GeoTiffOptions& options) {
    GeoTiffReport report;
    try {
        const std::string geoTiffPath = GeoTiffPath(segmentPath, outputFolder, options.fillGaps);
        // Beside the file committed onto, so that the commit is one rename.
        const WorkFolder work(os::CommitFolder(geoTiffPath));
        JoinOptions joinOptions;
        joinOptions.fillGaps = options.fillGaps;
        joinOptions.progress = [&options](const JoinProgress&) { return !options.stopRequested(); };
        report.join = JoinSegments(segmentPath, work.path().string(), joinOptions);
        if (!report.join.written()) {
            report.error = report.join.FailureText();
            return report;
        }
        Convert(segmentPath, geoTiffPath, work, options, report);
    } catch (const ProductRefused& refusal) {
        report.error = std::string("no GeoTIFF written: ") + refusal.what();
        report.refused = true;
    } catch (const std::exception& failure) {
        report.error = std::string("no GeoTIFF written: ") + failure.what();
    }
    return report;
}

}  // namespace segweld::geo
