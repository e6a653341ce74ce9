#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "geo/image_entry.h"
#include "geo/product_image.h"
#include "geo/segment_pixels.h"

namespace segweld::geo {

// A product walked as a join walks it, each segment's header read once and
// its file kept open for the pixels, then described as one image.
class WalkedProduct {
  public:
    // `goOn` is asked between segments; false stops the walk.
    WalkedProduct(const std::string& segmentPath, bool fillGaps, const std::function<bool()>& goOn);

    // The walk as a join reports it; its failure, when it made nothing.
    const JoinReport& walk() const { return walk_; }
    JoinReport& walk() { return walk_; }
    ImageFailure failure() const;
    uint64_t inputBytes() const { return inputBytes_; }

    // The image of the walked segments (DescribeProductImage); throws
    // ProductRefused as it does.
    ProductImage Describe(const std::optional<Quantity>& calibration, CalibrationMode mode,
                          std::vector<std::string>& warnings) const;

    // Fills what the report says of the segments, from `image`.
    void Report(const ProductImage& image, ImageReport& report) const;

  private:
    std::string segmentPath_;
    JoinReport walk_;
    std::vector<JoinedSegment> segments_;
    std::shared_ptr<DecompressedFields> fields_ = std::make_shared<DecompressedFields>();
    uint64_t inputBytes_ = 0;
};

// Removes what runs killed before left in `folder`, once in this process's
// life (os::RemoveAbandonedOutputs).
void RemoveLeftoversOnce(const std::string& folder);

}  // namespace segweld::geo
