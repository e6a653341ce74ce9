#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "geo/image_entry.h"
#include "join/join_segments.h"
#include "station/product_result.h"

namespace segweld::station {

// What one product was made into.
struct MadeOutput {
    JoinReport join;         // the join the output was made from
    std::string outputPath;  // empty when nothing was written
    uint64_t bytes = 0;
    std::vector<std::string> warnings;  // after the join's own
    std::string error;                  // why nothing was written, beyond the join's
    FailureKind failure = FailureKind::None;
};

// Makes each product's output: its data fields joined, or its image. Used
// from several threads at once.
class OutputMaker {
  public:
    virtual ~OutputMaker() = default;
    // What made an output's bytes, as its record keeps it.
    virtual std::string making() const = 0;
    // Whether the product's prologue and epilogue go into its record: they
    // change a GeoTIFF, never a join.
    virtual bool usesCompanions() const = 0;
    virtual MadeOutput Make(const std::string& firstSegmentPath, const std::string& outputFolder,
                            const JoinProgressCallback& progress) const = 0;
    // The path Make() would write, from headers and first data bytes alone;
    // nullopt when it would write none. A read error throws os::ReadError.
    virtual std::optional<std::string> PredictOutput(const std::string& firstSegmentPath,
                                                     const std::string& outputFolder) const = 0;
    // What writes the images of whole slots in this format; null for joins.
    virtual geo::WriteSlotImageEntry slotImageEntry() const { return nullptr; }
};

std::unique_ptr<OutputMaker> MakeJoiner(bool fillGaps);

// Images of `format` through the image module's entries, loaded by the caller.
std::unique_ptr<OutputMaker> MakeImageWriter(const geo::ImageEntries& entries, OutputKind format,
                                             bool fillGaps,
                                             std::optional<geo::Quantity> calibration,
                                             geo::CalibrationMode mode);

// Makes `product`'s output in `outputFolder`, keeps the record of what it
// was made from with it, and sorts the outcome.
ProductResult MakeProduct(const Product& product, const std::string& outputFolder,
                          const OutputMaker& maker, const JoinProgressCallback& progress = {});

// What a join made outside a station run (segweld SEGMENT_FILE
// OUTPUT_FOLDER) comes to, sorted as MakeProduct sorts a product: a planned
// segment whose file lies beside the first one but was not joined is not
// joined, one without a file missing. Its key is the masked file name.
ProductResult ResultOfJoin(const JoinReport& report);

}  // namespace segweld::station
