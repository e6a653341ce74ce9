#include "geo/product_image_writer.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "geo/cog_writer.h"
#ifdef SEGWELD_HAS_NETCDF
#include "geo/netcdf_writer.h"
#endif
#include "geo/product_image.h"
#include "geo/raster_rows.h"
#include "geo/walked_product.h"
#include "os/file_system.h"

namespace segweld::geo {
namespace {

// The share of the progress that the walk over the headers takes.
constexpr double kWalkShare = 0.01;

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
        product_.emplace(request_.segmentPath, request_.fillGaps, [this] { return GoOn(0); });
        report_.walk = product_->walk();
        inputBytes_ = product_->inputBytes();
        report_.failure = product_->failure();
        if (report_.failure != ImageFailure::None) {
            report_.error = report_.walk.FailureText();
        }
    }

    void Write() {
        const ProductImage image =
            product_->Describe(request_.calibration, request_.calibrationMode, report_.warnings);
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
        product_->Report(image, report_);
    }

    const ImageRequest& request_;
    ImageReport report_;
    std::optional<WalkedProduct> product_;
    uint64_t inputBytes_ = 0;
};
}  // namespace

ImageReport WriteProductImage(const ImageRequest& request) {
    return ImageRun(request).Run();
}

}  // namespace segweld::geo
