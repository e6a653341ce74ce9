#include "geo/product_image.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "geo/level15_records.h"
#include "geo/seviri_channels.h"
#include "join/number_list.h"
#include "join/segment_name.h"
#include "join/segment_walk.h"
#include "segweld_version.h"

namespace segweld::geo {
namespace {

// The prologue's earth model type of data whose georeferencing offset was
// corrected.
constexpr uint8_t kCorrectedEarthModel = 2;

// Where the georeferencing comes from, for the image's tag, and whether the
// data lie 1.5 km north-west of the header's navigation.
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

std::string Asked(Quantity quantity, const std::optional<Quantity>& requested,
                  const std::string& channel) {
    return std::string(QuantityName(quantity)) +
           (requested ? "" : " (the default for " + channel + ")") + " was asked for, but ";
}

// The quantity the pixels hold and, when calibrated, each count's value.
void PlanPixels(const std::optional<SeviriChannel>& channel, const std::optional<Quantity>& asked,
                const PrologueReading& prologue, const EpilogueReading& epilogue,
                ProductImage& image, std::vector<std::string>& warnings) {
    const ProductFrame& frame = image.frame;
    const std::string holdsCounts = "; the GeoTIFF holds counts";
    if (!channel) {
        if (asked.value_or(Quantity::Counts) != Quantity::Counts) {
            warnings.push_back(Asked(*asked, asked, frame.channel) + frame.channel + " of " +
                               frame.satellite +
                               " is not a SEVIRI channel, the only ones whose calibration is "
                               "known here" +
                               holdsCounts);
        }
        return;
    }
    const Quantity wanted = asked.value_or(DefaultQuantity(*channel));
    if (!HasQuantity(*channel, wanted)) {
        throw ProductRefused(frame.channel + " has no " + QuantityName(wanted) +
                             ": it is calibrated to counts, radiance or " +
                             QuantityName(DefaultQuantity(*channel)));
    }
    if (wanted == Quantity::Counts) {
        return;
    }
    std::string problem = prologue.problem;
    if (prologue.record) {
        const bool scanned = epilogue.record && !epilogue.record->forwardScanStart.empty();
        const CdsTime scanStart =
            scanned ? epilogue.record->forwardScanStart : prologue.record->repeatCycleStart;
        image.calibration = CalibrationTable(wanted, *channel, frame.channel, *prologue.record,
                                             scanStart.UnixSeconds(), frame.bitsPerPixel, problem);
    }
    if (image.calibration.empty()) {
        warnings.push_back(Asked(wanted, asked, frame.channel) + problem + holdsCounts);
        return;
    }
    image.quantity = wanted;
}

BandDescription DescribeBand(const std::optional<SeviriChannel>& channel, const ProductImage& image,
                             const PrologueReading& prologue) {
    BandDescription band;
    const std::string& name = image.frame.channel;
    const std::string label = channel ? name + " (" + channel->centralWavelength + " um)" : name;
    band.description = label + " " + QuantityName(image.quantity);
    band.unit = QuantityUnit(image.quantity);
    if (image.quantity == Quantity::Counts && channel && prologue.record) {
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

// How the pixels were calibrated, for people; empty for counts.
std::string CalibrationConventions(Quantity quantity, const std::optional<SeviriChannel>& channel,
                                   const PrologueReading& prologue, CalibrationMode mode) {
    if (quantity == Quantity::Counts || !channel || !prologue.record) {
        return "";
    }
    std::string text = mode == CalibrationMode::Gsics
                           ? "radiance = gain * (count + offset count) (at least 0) with the "
                             "prologue's GSICS coefficients"
                           : "radiance = slope * count + offset (at least 0) with the prologue's "
                             "nominal Level 1.5 coefficients";
    if (quantity == Quantity::BrightnessTemperature) {
        const bool spectral = prologue.record->radianceType[channel->id - 1] == 1;
        text += spectral ? "; brightness temperature by the published fit of the Planck "
                           "temperature of the spectral radiance"
                         : "; brightness temperature = (Planck temperature at the central wave "
                           "number - beta) / alpha of the effective radiance";
    } else if (quantity == Quantity::Reflectance) {
        text +=
            "; reflectance = pi * radiance * 100 / solar irradiance, times the square of the "
            "Earth-Sun distance (AU) at the scan start; no solar zenith correction";
    }
    return text;
}

// The GSICS coefficients in place of the nominal ones in `prologue`, for
// --calibration-mode gsics; refused where there are none to use.
void UseGsics(const std::optional<SeviriChannel>& channel, const std::string& name,
              PrologueReading& prologue) {
    const std::string refused = "--calibration-mode gsics needs the prologue's GSICS coefficients";
    if (!channel) {
        throw ProductRefused(refused + ", and " + name + " is no SEVIRI channel");
    }
    if (!prologue.record) {
        throw ProductRefused(refused + ": " + prologue.problem);
    }
    if (!UseGsicsCoefficients(*prologue.record, channel->id)) {
        throw ProductRefused(refused + ", and " + prologue.path + " carries none for " + name +
                             " (use --calibration-mode nominal)");
    }
}

// "SOUTH NORTH EAST WEST": lines from 1 in the south, columns from 1 in the
// east of the full-disk HRV grid.
std::string WindowBounds(int32_t south, int32_t north, int32_t east, int32_t west) {
    return std::to_string(south) + " " + std::to_string(north) + " " + std::to_string(east) + " " +
           std::to_string(west);
}

std::string Platform(const ProductFrame& frame, const PrologueReading& prologue) {
    return PlatformName(prologue.record ? prologue.record->satelliteId : frame.spacecraftId);
}

// "YYYY-MM-DDThh:mm:ss.sssZ"; empty for an empty time.
std::string IsoTimeOf(const CdsTime& time) {
    if (time.empty()) {
        return "";
    }
    const auto millis =
        std::chrono::milliseconds(static_cast<int64_t>(std::llround(time.UnixSeconds() * 1000.0)));
    const std::chrono::sys_days day = std::chrono::floor<std::chrono::days>(
        std::chrono::sys_time<std::chrono::milliseconds>(millis));
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss clock(millis - day.time_since_epoch());
    char text[40];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

ProductIdentity IdentityOf(const HritHeader& header) {
    return {header.nominalTime, header.sourceName, static_cast<uint16_t>(header.segmentId[0])};
}

}  // namespace

ProductImage DescribeProductImage(const std::string& segmentPath, const JoinReport& walk,
                                  const std::vector<JoinedSegment>& segments,
                                  const std::optional<Quantity>& calibration, CalibrationMode mode,
                                  std::vector<std::string>& warnings) {
    if (segments.empty()) {
        throw ProductRefused("no segment was joined");
    }
    const ProductIdentity identity = IdentityOf(segments.front().header);
    PrologueReading prologue = ReadPrologue(segmentPath, identity);
    const EpilogueReading epilogue = ReadEpilogue(segmentPath, identity);
    const HrvCoverage* coverage = epilogue.record ? &epilogue.record->hrv : nullptr;
    ProductImage image;
    image.frame = FrameProduct(segments, coverage, warnings);
    const ProductFrame& frame = image.frame;
    if (frame.hrvPlacement == HrvPlacement::Navigation && coverage == nullptr) {
        warnings.push_back(epilogue.problem +
                           "; the HRV windows are placed by each segment's column offset, "
                           "which places a segment that holds lines of both windows as a "
                           "whole");
    }
    const std::optional<SeviriChannel> channel = ChannelById(frame.channelCode);
    if (mode == CalibrationMode::Gsics) {
        UseGsics(channel, frame.channel, prologue);
    }
    PlanPixels(channel, calibration, prologue, epilogue, image, warnings);
    const Georeferencing georeferencing =
        GeoreferenceProduct(channel.has_value(), frame, prologue, warnings);

    RasterDescription& description = image.description;
    description.placement = PlaceStoredImage(frame.navigation);
    if (georeferencing.shift) {
        ShiftForUncorrectedOffset(description.placement);
    }
    description.subSatelliteLongitude = frame.subSatelliteLongitude;
    description.band = DescribeBand(channel, image, prologue);
    image.channel = frame.channel;
    image.wavelength = channel ? channel->centralWavelength : "";
    image.platform = Platform(frame, prologue);
    if (epilogue.record) {
        image.scanStart = IsoTimeOf(epilogue.record->forwardScanStart);
        image.scanEnd = IsoTimeOf(epilogue.record->forwardScanEnd);
    }
    if (frame.hrvPlacement == HrvPlacement::Epilogue && coverage != nullptr) {
        image.hrvWindows = *coverage;
    }
    const HrvCoverage* windows = image.hrvWindows ? &*image.hrvWindows : nullptr;
    for (const int32_t number : frame.missing) {
        const bool exists = PathExists(StoredSegmentPath(segmentPath, number));
        (exists ? image.notJoined : image.missing).push_back(number);
    }
    description.tags = {
        {"SATELLITE", frame.satellite},
        {"PLATFORM", Platform(frame, prologue)},
        {"CHANNEL", frame.channel},
        {"CALIBRATION", QuantityName(image.quantity)},
        {"NOMINAL_TIME", IsoTime(frame.nominalTime)},
        {"TIFFTAG_DATETIME", TiffTime(frame.nominalTime)},
        {"TIFFTAG_SOFTWARE", "Segweld " SEGWELD_VERSION},
        {"SEGMENTS_JOINED", FormatNumberList(frame.joined)},
        {"SEGMENTS_MISSING", FormatNumberList(image.missing)},
        {"SEGMENTS_NOT_JOINED", FormatNumberList(image.notJoined)},
        {"SEGMENTS_FILLED", FormatNumberList(walk.filled)},
        {"GEOREFERENCING_OFFSET", georeferencing.tag},
        {"HRV_WINDOWS", HrvWindowsTag(frame.hrvPlacement)},
        {"HRV_LOWER_WINDOW", windows
                                 ? WindowBounds(windows->lowerSouthLine, windows->lowerNorthLine,
                                                windows->lowerEastColumn, windows->lowerWestColumn)
                                 : ""},
        {"HRV_UPPER_WINDOW", windows
                                 ? WindowBounds(windows->upperSouthLine, windows->upperNorthLine,
                                                windows->upperEastColumn, windows->upperWestColumn)
                                 : ""},
        {"SENSOR", channel ? "SEVIRI" : ""},
        {"SCAN_START", image.scanStart},
        {"SCAN_END", image.scanEnd},
        {"CALIBRATION_COEFFICIENTS", image.calibration.empty() && !description.band.scaled ? ""
                                     : mode == CalibrationMode::Gsics                      ? "GSICS"
                                                                      : "nominal"},
        {"CALIBRATION_CONVENTIONS",
         CalibrationConventions(image.quantity, channel, prologue, mode)},
    };
    return image;
}

bool IsProductTag(const std::string& tag) {
    return tag == "CHANNEL" || tag.starts_with("CALIBRATION") || tag.starts_with("SEGMENTS_") ||
           tag.starts_with("HRV_") || tag == "SCAN_START" || tag == "SCAN_END";
}

}  // namespace segweld::geo
