#include "geo/product_image_writer.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <set>

#include "geo/cog_writer.h"
#ifdef SEGWELD_HAS_NETCDF
#include "geo/netcdf_writer.h"
#endif
#include "geo/product_image.h"
#include "geo/raster_rows.h"
#include "os/file_system.h"

namespace segweld::geo {
namespace {

// The share of the progress that the walk over the headers takes.
constexpr double kWalkShare = 0.01;

// What runs killed before left in `folder` goes, once in this process's life.
void RemoveLeftoversOnce(const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> done;
    {
        std::lock_guard lock(mutex);
        if (!done.insert(folder).second) {
            return;
        }
    }
    os::RemoveAbandonedOutputs(folder);
}

std::vector<int32_t> DamagedSegments(const JoinReport& walk) {
    std::vector<int32_t> damaged;
    for (const SegmentOutcome& segment : walk.segments) {
        if (segment.status == SegmentStatus::Accepted &&
            segment.bytesPresent < segment.dataLength) {
            damaged.push_back(segment.number);
        }
    }
    return damaged;
}

void WriteImage(OutputKind format, RasterRows& rows, const ProductImage& image,
                os::HiddenOutput& output, const WriteProgress& progress) {
    switch (format) {
        case OutputKind::GeoTiff:
            WriteCloudOptimizedGeoTiff(rows, image.description, output, progress);
            return;
        case OutputKind::NetCdf:
#ifdef SEGWELD_HAS_NETCDF
            WriteNetCdf({{&image, &rows}}, {}, output, progress);
            return;
#else
            throw GeoTiffError("this build has no NetCDF library");
#endif
        case OutputKind::Joined:
            break;
    }
    throw GeoTiffError("a joined output is no image");
}

class ImageRun {
  public:
    explicit ImageRun(const ImageRequest& request) : request_(request) {}

    ImageReport Run() {
        try {
            Walk();
            if (report_.failure == ImageFailure::None) {
                Write();
            }
        } catch (const ProductRefused& refusal) {
            Fail(ImageFailure::Data, refusal.what());
        } catch (const WriteStopped&) {
            Fail(ImageFailure::Interrupted, "stopped");
        } catch (const std::exception& failure) {
            Fail(ImageFailure::System, failure.what());
        }
        return std::move(report_);
    }

  private:
    bool GoOn(double done) const {
        return !request_.progress || request_.progress({done, inputBytes_});
    }

    void Fail(ImageFailure failure, const std::string& why) {
        report_.failure = failure;
        report_.error = std::string("no ") + ImageFormatName(request_.format) + " written: " + why;
        report_.outputPath.clear();
    }

    // Chooses the segments as a join would, each header read once; their
    // files stay open for their pixels.
    void Walk() {
        JoinOptions options;
        options.fillGaps = request_.fillGaps;
        options.progress = [this](const JoinProgress&) { return GoOn(0); };
        report_.walk = WalkAsJoin(request_.segmentPath, options, [this](const SegmentVisit& visit) {
            auto pixels = std::make_shared<const SegmentPixels>(
                visit.sharedFile, visit.headerLength, visit.headerBytes, visit.header->lines,
                std::min(DataFieldBytesStored(*visit.header),
                         ImageStructureBytes(*visit.header) + 1),
                fields_);
            segments_.push_back(
                {visit.number, visit.path, *visit.header, visit.headerLength, std::move(pixels)});
            inputBytes_ += visit.file->file().size();
        });
        const JoinReport& walk = report_.walk;
        if (walk.stopped || !walk.error.empty() || segments_.empty()) {
            report_.failure = walk.stopped          ? ImageFailure::Interrupted
                              : !walk.error.empty() ? ImageFailure::System
                                                    : ImageFailure::Data;
            report_.error = walk.FailureText();
        }
    }

    void Write() {
        const ProductImage image =
            DescribeProductImage(request_.segmentPath, report_.walk, segments_,
                                 request_.calibration, request_.calibrationMode, report_.warnings);
        const std::string path = JoinedOutputPath(
            request_.outputFolder, OutputName(report_.walk.namingName, request_.format));
        RemoveLeftoversOnce(os::CommitFolder(path));
        os::HiddenOutput output(path);
        RasterRows rows(image.frame, image.description.placement, image.calibration);
        WriteImage(request_.format, rows, image, output,
                   [this](double done) { return GoOn(kWalkShare + (1 - kWalkShare) * done); });
        output.Commit();
        report_.outputPath = path;
        report_.bytesWritten = output.size();
        report_.quantity = image.quantity;
        report_.segmentsJoined = image.frame.joined;
        report_.segmentsMissing = image.missing;
        report_.segmentsNotJoined = image.notJoined;
        report_.segmentsFilled = report_.walk.filled;
        report_.segmentsDamaged = DamagedSegments(report_.walk);
    }

    const ImageRequest& request_;
    ImageReport report_;
    std::vector<JoinedSegment> segments_;
    std::shared_ptr<DecompressedFields> fields_ = std::make_shared<DecompressedFields>();
    uint64_t inputBytes_ = 0;
};

}  // namespace

ImageReport WriteProductImage(const ImageRequest& request) {
    return ImageRun(request).Run();
}

}  // namespace segweld::geo
