#include "tools/info/preview_render.h"

#include <algorithm>

#include "hrit/big_endian_reader.h"
#include "hrit/packed_samples.h"
#include "join/number_list.h"
#include "join/product_survey.h"
#include "join/segment_walk.h"
#include "join/walk_plan.h"
#include "tools/info/data_field_extent.h"
#include "tools/info/preview_canvas.h"

namespace segweld::info {
namespace {

struct ImageShape {
    uint32_t columns = 0;
    uint32_t lines = 0;
    uint32_t bitsPerPixel = 0;
    uint32_t fileTypeCode = 0;

    bool operator==(const ImageShape&) const = default;
};

// What the headers say about the picture, learnt before any data is read.
struct PreviewPlan {
    ImageShape shape;
    int32_t firstSegment = 0;  // the segments that the picture's height spans
    int32_t lastSegment = 0;
    ProductSurvey survey;
    std::string error;

    uint64_t fullHeight() const { return uint64_t(lastSegment - firstSegment + 1) * shape.lines; }
};

ImageShape ShapeOf(const HritHeader& header) {
    return {header.columns, header.lines, header.bitsPerPixel, header.fileTypeCode};
}

// How the segment's data is compressed; empty when it is not.
std::string Compression(const HritHeader& header) {
    if (header.compressionKind == 'w') {
        return "its data field begins FF 01 (wavelet compression)";
    }
    if (header.compressionKind == 'j') {
        return "its data field begins FF D8 (JPEG compression)";
    }
    if (header.compressionFlag != 0) {
        return "its compression flag is " + std::to_string(header.compressionFlag);
    }
    return "";
}

std::string CompressionRefusal(const SegmentVisit& visit) {
    const std::string compression = Compression(*visit.header);
    if (compression.empty()) {
        return "";
    }
    return "segment " + std::to_string(visit.number) + " (" + visit.path +
           ") holds compressed data: " + compression +
           ". The preview decodes uncompressed data only.";
}

std::string ShapeRefusal(const ImageShape& shape) {
    if (shape.fileTypeCode != 0) {
        return "the product is not image data (file type code " +
               std::to_string(shape.fileTypeCode) + ")";
    }
    if (shape.columns == 0 || shape.lines == 0) {
        return "the headers give no image size";
    }
    if (shape.bitsPerPixel != 8 && shape.bitsPerPixel != 10 && shape.bitsPerPixel != 16) {
        return std::to_string(shape.bitsPerPixel) +
               " bits per pixel cannot be shown; 8, 10 and 16 can";
    }
    return "";
}

void TakeAcceptedHeader(const SegmentVisit& visit, PreviewPlan& plan) {
    if (plan.error.empty()) {
        plan.error = CompressionRefusal(visit);
    }
    if (plan.firstSegment == 0) {
        plan.shape = ShapeOf(*visit.header);
        plan.firstSegment = visit.number;
    }
    plan.lastSegment = visit.number;
}

void SpanPlannedSegments(PreviewPlan& plan) {
    if (plan.survey.plannedEnd() > 0) {
        plan.firstSegment = std::min(plan.firstSegment, plan.survey.plannedStart());
        plan.lastSegment = std::max(plan.lastSegment, plan.survey.plannedEnd());
    }
}

PreviewPlan PlanPreview(const std::string& segmentPath) {
    PreviewPlan plan;
    CHritHeaderReader reader([](uint32_t) {});
    const int32_t first = PlanWalk(segmentPath, false).first;
    const int32_t stoppedAt = WalkSegments(
        segmentPath, reader,
        [&](const SegmentVisit& visit) {
            if (visit.status == SegmentStatus::Accepted) {
                TakeAcceptedHeader(visit, plan);
            }
            plan.survey.Note(visit, DataBytesHeld(visit));
            return true;
        },
        {}, first);
    plan.survey.Finish(segmentPath, stoppedAt);
    if (plan.firstSegment == 0 && stoppedAt == first) {
        plan.error = "nothing to show: " + plan.survey.walkEnd() + ", where the product begins";
    } else if (plan.firstSegment == 0) {
        plan.error = "nothing to show: no segment of the product has an acceptable header";
    } else if (plan.error.empty()) {
        plan.error = ShapeRefusal(plan.shape);
    }
    SpanPlannedSegments(plan);
    return plan;
}

// Draws the lines of one segment, turned so that north is up and east right:
// the data field holds its lines from south to north and each line from east
// to west.
class SegmentPainter {
  public:
    SegmentPainter(const PreviewPlan& plan, PreviewCanvas& canvas)
        : plan_(plan),
          canvas_(canvas),
          lineBits_(uint64_t{plan.shape.columns} * plan.shape.bitsPerPixel),
          samples_(plan.shape.columns),
          // A line that starts inside a byte reaches into one byte more.
          lineBytes_(static_cast<size_t>((lineBits_ + 7) / 8 + 1)) {}

    // Paints the lines that the data field reaches; returns how many of them
    // it holds whole. The segment is read once, forwards.
    uint64_t Paint(const SegmentVisit& visit) {
        const uint64_t limit = DataFieldBytesStored(*visit.header);
        const uint64_t firstLine = uint64_t(visit.number - plan_.firstSegment) * plan_.shape.lines;
        uint64_t whole = 0;
        for (uint32_t line = 0; line < plan_.shape.lines; ++line) {
            const uint64_t bitStart = line * lineBits_;
            const uint64_t byteStart = bitStart / 8;
            const uint64_t lineEnd = (bitStart + lineBits_ + 7) / 8;
            const uint64_t wanted = std::min(limit, lineEnd) - std::min(limit, byteStart);
            const size_t got = wanted == 0 ? 0 : ReadLine(visit, bitStart, wanted);
            if (got == 0) {
                break;  // the rest of the segment stays black
            }
            canvas_.AddLine(plan_.fullHeight() - 1 - (firstLine + line), samples_);
            whole += byteStart + got >= lineEnd ? 1 : 0;
            if (got < wanted) {
                break;
            }
        }
        return whole;
    }

  private:
    size_t ReadLine(const SegmentVisit& visit, uint64_t bitStart, uint64_t wanted) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(wanted, lineBytes_.size()));
        const size_t got = visit.file->ReadAt(visit.headerLength + bitStart / 8,
                                              std::span(lineBytes_.data(), count));
        UnpackSamples(BigEndianReader(lineBytes_.data(), got), bitStart % 8,
                      plan_.shape.bitsPerPixel, true, samples_);
        return got;
    }

    const PreviewPlan& plan_;
    PreviewCanvas& canvas_;
    uint64_t lineBits_;
    std::vector<uint16_t> samples_;
    std::vector<uint8_t> lineBytes_;
};

std::string Unpaintable(const SegmentVisit& visit, const PreviewPlan& plan) {
    if (!Compression(*visit.header).empty()) {
        return "segment " + std::to_string(visit.number) + " holds compressed data";
    }
    if (ShapeOf(*visit.header) != plan.shape) {
        return "segment " + std::to_string(visit.number) +
               " has another image structure than the first";
    }
    return "";
}

// Paints every segment that can be painted; returns how many lines it held whole.
uint64_t PaintSegments(const std::string& segmentPath, const PreviewPlan& plan,
                       PreviewCanvas& canvas, std::vector<std::string>& warnings) {
    SegmentPainter painter(plan, canvas);
    uint64_t painted = 0;
    std::vector<int32_t> smallerThanImage;
    CHritHeaderReader reader([](uint32_t) {});
    WalkSegments(
        segmentPath, reader,
        [&](const SegmentVisit& visit) {
            if (visit.status != SegmentStatus::Accepted || visit.number < plan.firstSegment ||
                visit.number > plan.lastSegment) {
                return true;
            }
            const std::string problem = Unpaintable(visit, plan);
            if (!problem.empty()) {
                warnings.push_back(problem + "; it shows black");
                return true;
            }
            painted += painter.Paint(visit);
            if (visit.header->dataLength < ImageStructureBytes(*visit.header)) {
                smallerThanImage.push_back(visit.number);
            }
            return true;
        },
        {}, PlanWalk(segmentPath, false).first);
    if (!smallerThanImage.empty()) {
        warnings.push_back(
            (smallerThanImage.size() == 1 ? "the data field of segment "
                                          : "the data fields of segments ") +
            FormatNumberList(smallerThanImage) + (smallerThanImage.size() == 1 ? " is" : " are") +
            " smaller than the image structure (" + std::to_string(plan.shape.columns) + " x " +
            std::to_string(plan.shape.lines) + " pixels of " +
            std::to_string(plan.shape.bitsPerPixel) + " bits); the rest shows black");
    }
    return painted;
}

std::vector<std::string> GapWarnings(const ProductSurvey& survey) {
    std::vector<std::string> warnings;
    if (!survey.NotJoined().empty()) {
        warnings.push_back("black bands stand for the segments not joined: " +
                           FormatNumberList(survey.NotJoined()));
    }
    if (!survey.Damaged().empty()) {
        warnings.push_back("black also stands for the data missing from short segments: " +
                           FormatNumberList(survey.Damaged()));
    }
    return warnings;
}

}  // namespace

PreviewPicture RenderPreview(const std::string& segmentPath, uint32_t maxSide) {
    PreviewPicture picture;
    const PreviewPlan plan = PlanPreview(segmentPath);
    if (!plan.error.empty()) {
        picture.error = plan.error;
        return picture;
    }
    PreviewCanvas canvas(plan.shape.columns, plan.fullHeight(), maxSide);
    picture.warnings = GapWarnings(plan.survey);
    if (PaintSegments(segmentPath, plan, canvas, picture.warnings) == 0) {
        picture.error = "no line of the picture has its data";
        return picture;
    }
    picture.width = canvas.width();
    picture.height = canvas.height();
    picture.pixels = canvas.Render((1u << plan.shape.bitsPerPixel) - 1);
    return picture;
}

}  // namespace segweld::info
