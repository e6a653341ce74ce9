#include "geo/product_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>

#include "join/dissemination_name.h"
#include "join/segment_name.h"
#include "join/segment_plan.h"
#include "unpack/compression.h"

namespace segweld::geo {
namespace {

std::string Text(const char* field) {
    return std::string(field, strnlen(field, 64));
}

void RefuseUnlessImage(const JoinedSegment& segment) {
    const HritHeader& h = segment.header;
    const std::string which = "segment " + std::to_string(segment.number);
    if (h.fileTypeCode != 0) {
        throw ProductRefused(which + " is not image data (file type " +
                             std::to_string(h.fileTypeCode) + ")");
    }
    if (h.compressionFlag != 0 || h.compressedMark == 'C' || h.compressionKind == 'w' ||
        h.compressionKind == 'j') {
        throw ProductRefused(which + " is compressed, and compressed data cannot be decoded here");
    }
    if (h.bitsPerPixel < 1 || h.bitsPerPixel > 16 || h.columns == 0 || h.lines == 0) {
        throw ProductRefused(which + " has no image structure of 1 to 16 bits per pixel");
    }
    if (h.cfac == 0 || h.lfac == 0) {
        throw ProductRefused(which + " has no image navigation");
    }
    const uint64_t imageBytes = (uint64_t{h.columns} * h.lines * h.bitsPerPixel + 7) / 8;
    if (h.dataLength < imageBytes) {
        throw ProductRefused(which + " has a data field of " + std::to_string(h.dataLength) +
                             " bytes, too short for its " + std::to_string(h.columns) + " x " +
                             std::to_string(h.lines) + " pixels");
    }
}

// The satellite of a first-generation Meteosat product that MSG disseminates
// (the disseminator "MTP"), by its header's annotation or else its file
// name; empty for any other product.
std::string FirstGenerationMeteosat(const JoinedSegment& segment) {
    for (const std::string& text :
         {Text(segment.header.annotation), SplitSegmentPath(segment.path).name}) {
        const auto name = DisseminationName::Parse(unpack::WithoutCompressionSuffix(text));
        if (name && name->field(DisseminationName::Field::Disseminator).starts_with("MTP_")) {
            const std::string_view source = name->field(DisseminationName::Field::Source);
            return std::string(source.substr(0, source.find('_')));
        }
    }
    return "";
}

// Each line of a first-generation Meteosat image begins with a prefix that
// is not image, whose layout is not known here: counted as image, it would
// move the whole image west.
void RefuseFirstGenerationMeteosat(const JoinedSegment& segment) {
    const std::string satellite = FirstGenerationMeteosat(segment);
    if (!satellite.empty()) {
        throw ProductRefused("segment " + std::to_string(segment.number) + " is " + satellite +
                             " data of the first Meteosat generation (MTP), whose lines begin "
                             "with a prefix that is not image; where its image lies is not "
                             "known here");
    }
}

// The HRV windows move east and west within a product, so only the HRV
// segments may differ in their column offset.
void RefuseUnlessLike(const JoinedSegment& segment, const HritHeader& first, bool hrv) {
    const HritHeader& h = segment.header;
    if (h.columns != first.columns || h.lines != first.lines ||
        h.bitsPerPixel != first.bitsPerPixel || h.cfac != first.cfac || h.lfac != first.lfac ||
        (!hrv && h.coff != first.coff) ||
        std::strcmp(h.projectionName, first.projectionName) != 0) {
        throw ProductRefused("segment " + std::to_string(segment.number) +
                             " differs from the first joined segment in its image structure or "
                             "navigation");
    }
}

// The first HRV grid column (from 0, in stored order) of a window whose
// easternmost column (from 1) is `eastColumn`; nothing when `columns` columns
// from there do not fit the grid.
std::optional<uint32_t> WindowStart(int64_t eastColumn, uint32_t columns) {
    if (eastColumn < 1 || eastColumn - 1 + columns > kHrvGridColumns) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(eastColumn - 1);
}

// The segment's lines in the epilogue's lower and upper windows. As the
// reference reader does, a segment's lines are counted from the product's
// planned start, and the lower window holds those below LowerNorthLineActual.
// False when a window that holds lines does not fit the grid.
bool RunsFromCoverage(const HrvCoverage& coverage, int32_t number, int32_t plannedStart,
                      uint32_t lines, uint32_t columns, std::vector<ColumnRun>& runs) {
    const int64_t firstLine = int64_t{number - plannedStart} * lines;
    const auto split = static_cast<uint32_t>(
        std::clamp<int64_t>(coverage.lowerNorthLine - firstLine - 1, 0, lines));
    if (split > 0) {
        const auto start = WindowStart(coverage.lowerEastColumn, columns);
        if (!start) {
            return false;
        }
        runs.push_back({0, split, *start});
    }
    if (split < lines) {
        const auto start = WindowStart(coverage.upperEastColumn, columns);
        if (!start) {
            return false;
        }
        runs.push_back({split, lines - split, *start});
    }
    return true;
}

// The segment's lines placed by its own navigation: its column offset is
// that of its window.
std::vector<ColumnRun> RunsFromNavigation(const JoinedSegment& segment) {
    const HritHeader& h = segment.header;
    const auto start = WindowStart(int64_t{kHrvGridColumnOffset} - h.coff + 1, h.columns);
    if (!start) {
        throw ProductRefused("segment " + std::to_string(segment.number) +
                             " has a column offset of " + std::to_string(h.coff) +
                             ", which puts its HRV columns outside the full-disk grid");
    }
    return {{0, h.lines, *start}};
}

bool IsHrv(const HritHeader& header) {
    return Text(header.channel) == "HRV";
}

// Places each segment's lines in the HRV grid's columns.
HrvPlacement PlaceHrvWindows(ProductFrame& frame, const std::vector<JoinedSegment>& segments,
                             const HrvCoverage* coverage, std::vector<std::string>& warnings) {
    const HritHeader& h = segments.front().header;
    const auto plan = PlanOf(h);
    const int32_t plannedStart = plan ? plan->start : frame.firstNumber;
    if (coverage != nullptr) {
        bool fits = true;
        for (SegmentPlace& place : frame.places) {
            place.runs.clear();
            fits = fits && RunsFromCoverage(*coverage, place.number, plannedStart, h.lines,
                                            h.columns, place.runs);
        }
        if (fits) {
            return HrvPlacement::Epilogue;
        }
        warnings.push_back("the epilogue's HRV coverage (lower window from column " +
                           std::to_string(coverage->lowerEastColumn) + ", upper from column " +
                           std::to_string(coverage->upperEastColumn) +
                           ") does not fit the HRV grid; the windows are placed by each "
                           "segment's column offset instead");
    }
    for (size_t i = 0; i < segments.size(); ++i) {
        frame.places[i].runs = RunsFromNavigation(segments[i]);
    }
    return HrvPlacement::Navigation;
}

}  // namespace

std::string IsoTime(const std::tm& time) {
    if (time.tm_mday == 0) {
        return "";
    }
    char text[72];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:00Z", time.tm_year + 1900,
                  time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min);
    return text;
}

std::string TiffTime(const std::tm& time) {
    if (time.tm_mday == 0) {
        return "";
    }
    char text[72];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:00", time.tm_year + 1900,
                  time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min);
    return text;
}

ProductFrame FrameProduct(const std::vector<JoinedSegment>& segments,
                          const HrvCoverage* hrvCoverage, std::vector<std::string>& warnings) {
    if (segments.empty()) {
        throw ProductRefused("no segment was joined");
    }
    const JoinedSegment& first = segments.front();
    const HritHeader& h = first.header;
    const bool hrv = IsHrv(h);
    for (const JoinedSegment& segment : segments) {
        RefuseUnlessImage(segment);
        RefuseUnlessLike(segment, h, hrv);
        RefuseFirstGenerationMeteosat(segment);
    }
    ProductFrame frame;
    frame.subSatelliteLongitude = SubSatelliteLongitude(Text(h.projectionName))
                                      .value_or(std::numeric_limits<double>::quiet_NaN());
    if (std::isnan(frame.subSatelliteLongitude)) {
        throw ProductRefused("the navigation names the projection '" + Text(h.projectionName) +
                             "', not a geostationary one such as GEOS(+009.5)");
    }
    frame.bitsPerPixel = h.bitsPerPixel;
    frame.linesPerSegment = h.lines;
    frame.segmentColumns = h.columns;

    for (const JoinedSegment& segment : segments) {
        frame.joined.push_back(segment.number);
    }
    const auto [lowest, highest] = std::minmax_element(frame.joined.begin(), frame.joined.end());
    // Only a plan that can be true: one beyond a whole disk comes from a
    // damaged field, and would make an image of mostly nothing.
    const auto plan = PlanOf(h);
    frame.firstNumber = std::min(plan ? plan->start : *lowest, *lowest);
    frame.lastNumber = std::max(plan ? plan->end : *highest, *highest);
    const int64_t segmentCount = int64_t{frame.lastNumber} - frame.firstNumber + 1;
    const int64_t frameLoff =
        h.loff + (int64_t{first.number} - frame.firstNumber) * int64_t{h.lines};
    if (segmentCount * h.lines > INT32_MAX || frameLoff > INT32_MAX || frameLoff < INT32_MIN) {
        throw ProductRefused("the product's planned segments make an image too tall to write");
    }
    for (const JoinedSegment& segment : segments) {
        frame.places.push_back({segment.number,
                                segment.path,
                                segment.pixels,
                                static_cast<uint32_t>(segment.number - frame.firstNumber) * h.lines,
                                {{0, h.lines, 0}}});
    }
    for (int32_t number = frame.firstNumber; number <= frame.lastNumber; ++number) {
        if (std::count(frame.joined.begin(), frame.joined.end(), number) == 0) {
            frame.missing.push_back(number);
        }
    }

    frame.navigation.cfac = h.cfac;
    frame.navigation.lfac = h.lfac;
    frame.navigation.coff = hrv ? kHrvGridColumnOffset : h.coff;
    frame.navigation.loff = static_cast<int32_t>(frameLoff);
    frame.navigation.columns = hrv ? kHrvGridColumns : h.columns;
    frame.navigation.lines = static_cast<uint32_t>(segmentCount * h.lines);
    if (hrv) {
        frame.hrvPlacement = PlaceHrvWindows(frame, segments, hrvCoverage, warnings);
    }

    frame.satellite = Text(h.sourceName);
    frame.spacecraftId = static_cast<uint16_t>(h.segmentId[0]);
    frame.channel = Text(h.channel);
    frame.channelCode = h.channelCode;
    frame.nominalTime = h.nominalTime;
    return frame;
}

}  // namespace segweld::geo
