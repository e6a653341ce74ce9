#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "join/join_segments.h"
#include "station/product_scan.h"

namespace segweld::station {

enum class ProductStatus {
    Joined,      // written whole
    UpToDate,    // its output was not older than its segments; left alone
    Incomplete,  // written, but planned segments are missing, damaged or filled
    Failed,      // nothing written
};

const char* StatusName(ProductStatus status);

// What became of one product, for the log, the summary and the report.
struct ProductResult {
    std::string key;
    ProductStatus status = ProductStatus::Failed;
    std::string outputPath;  // written, or found up to date; empty otherwise
    int segmentsJoined = 0;
    std::vector<int32_t> missing;  // planned (or listed) numbers not joined
    std::vector<int32_t> damaged;  // joined with zeros for bytes the file lacks
    std::vector<int32_t> filled;   // missing ones written as zeros (--fill-gaps)
    std::vector<std::string> warnings;
    std::string error;  // why nothing was written
    uint64_t bytesWritten = 0;
};

// Joins `product` exactly as `segweld FIRST_SEGMENT OUTPUT_FOLDER` does, from
// its lowest-numbered file, and sorts the outcome. `plannedEnd` is the last
// planned number its headers give (0 when unknown); without one, the numbers
// up to the highest file present count as planned.
ProductResult JoinProduct(const Product& product, const std::string& outputFolder,
                          const JoinOptions& options, int32_t plannedStart, int32_t plannedEnd);

// The result of a product skipped as up to date.
ProductResult UpToDateResult(const Product& product, const std::string& outputPath);

}  // namespace segweld::station
