#include "geo/product_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

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
    if (Text(h.channel) == "HRV") {
        throw ProductRefused(
            "HRV products are not written as GeoTIFF: their image windows move east and west "
            "from segment to segment");
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

void RefuseUnlessLike(const JoinedSegment& segment, const HritHeader& first) {
    const HritHeader& h = segment.header;
    if (h.columns != first.columns || h.lines != first.lines ||
        h.bitsPerPixel != first.bitsPerPixel || h.cfac != first.cfac || h.lfac != first.lfac ||
        h.coff != first.coff || std::strcmp(h.projectionName, first.projectionName) != 0) {
        throw ProductRefused("segment " + std::to_string(segment.number) +
                             " differs from the first joined segment in its image structure or "
                             "navigation");
    }
}

std::string IsoTime(const std::tm& time) {
    char text[72];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:00Z", time.tm_year + 1900,
                  time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min);
    return text;
}

}  // namespace

ProductFrame FrameProduct(const std::vector<JoinedSegment>& segments) {
    if (segments.empty()) {
        throw ProductRefused("no segment was joined");
    }
    const JoinedSegment& first = segments.front();
    const HritHeader& h = first.header;
    for (const JoinedSegment& segment : segments) {
        RefuseUnlessImage(segment);
        RefuseUnlessLike(segment, h);
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

    for (const JoinedSegment& segment : segments) {
        frame.joined.push_back(segment.number);
    }
    const auto [lowest, highest] = std::minmax_element(frame.joined.begin(), frame.joined.end());
    const int32_t plannedStart = static_cast<int32_t>(h.segmentId[3]);
    const int32_t plannedEnd = static_cast<int32_t>(h.segmentId[4]);
    const bool planned = plannedStart >= 1 && plannedEnd >= plannedStart;
    frame.firstNumber = std::min(planned ? plannedStart : *lowest, *lowest);
    frame.lastNumber = std::max(planned ? plannedEnd : *highest, *highest);
    const int64_t segmentCount = int64_t{frame.lastNumber} - frame.firstNumber + 1;
    const int64_t frameLoff =
        h.loff + (int64_t{first.number} - frame.firstNumber) * int64_t{h.lines};
    if (segmentCount * h.lines > INT32_MAX || frameLoff > INT32_MAX || frameLoff < INT32_MIN) {
        throw ProductRefused("the product's planned segments make an image too tall to write");
    }
    for (const JoinedSegment& segment : segments) {
        frame.places.push_back(
            {segment.number, segment.path, segment.headerLength,
             static_cast<uint32_t>(segment.number - frame.firstNumber) * h.lines});
    }
    for (int32_t number = frame.firstNumber; number <= frame.lastNumber; ++number) {
        if (std::count(frame.joined.begin(), frame.joined.end(), number) == 0) {
            frame.missing.push_back(number);
        }
    }

    frame.navigation.cfac = h.cfac;
    frame.navigation.lfac = h.lfac;
    frame.navigation.coff = h.coff;
    frame.navigation.loff = static_cast<int32_t>(frameLoff);
    frame.navigation.columns = h.columns;
    frame.navigation.lines = static_cast<uint32_t>(segmentCount * h.lines);

    frame.satellite = Text(h.sourceName);
    frame.channel = Text(h.channel);
    frame.nominalTime = h.nominalTime.tm_mday != 0 ? IsoTime(h.nominalTime) : "";
    return frame;
}

}  // namespace segweld::geo
