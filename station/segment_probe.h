#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hrit/header_reader.h"
#include "station/product_scan.h"

namespace segweld::station {

// What one segment's header says, read without touching its data field
// beyond its first four bytes.
struct SegmentProbe {
    bool accepted = false;     // the joiner would take it
    bool whole = false;        // the file holds its whole data field
    int32_t plannedStart = 0;  // from the MSG segment identification; 0 unknown
    int32_t plannedEnd = 0;
    std::vector<uint8_t> firstBytes;  // up to four, for the output's extension
};

// Reads segment headers one after another with one reader, quietly: record
// types it does not know are left to the join to report.
class SegmentProber {
  public:
    SegmentProber();
    SegmentProbe Probe(const std::string& path);

  private:
    CHritHeaderReader reader_;
};

// What a product's first accepted header tells before it is joined.
struct ProductPlan {
    // The path `segweld FIRST_SEGMENT OUTPUT_FOLDER` would write: the first
    // segment from number 1 on, without a gap, whose header is accepted gives
    // the extension. Nullopt when the walk would accept none.
    std::optional<std::string> outputPath;
    int32_t plannedStart = 0;  // from that header's segment identification
    int32_t plannedEnd = 0;    // 0 when it gives none
};

ProductPlan PlanProduct(const Product& product, const std::string& outputFolder,
                        SegmentProber& prober);

// True when `outputPath` exists and was written no earlier than every segment
// file of `product` was last changed.
bool IsUpToDate(const Product& product, const std::string& outputPath);

}  // namespace segweld::station
