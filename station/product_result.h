#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "station/product_scan.h"

namespace segweld::station {

enum class ProductStatus {
    Joined,      // written whole
    UpToDate,    // its output holds what a join would make of it now; left alone
    Incomplete,  // written, but planned segments are missing, not joined, damaged or filled
    Failed,      // nothing written
};

const char* StatusName(ProductStatus status);

// Why nothing was written, for what a retry can do about it.
enum class FailureKind {
    None,
    Data,         // nothing in the files can be joined: retrying will not help
    System,       // no space, an I/O error, a folder or output that cannot be written
    Interrupted,  // the run was stopped while the product was joined
};

// What became of one product, for the log, the summary and the report.
struct ProductResult {
    std::string key;
    ProductStatus status = ProductStatus::Failed;
    FailureKind failure = FailureKind::None;
    std::string outputPath;  // written, or found up to date; empty otherwise
    int segmentsJoined = 0;
    std::vector<int32_t> joined;     // the numbers of those segments
    std::vector<int32_t> missing;    // planned numbers for which no file exists
    std::vector<int32_t> notJoined;  // planned numbers whose file exists but was not joined
    std::vector<int32_t> damaged;    // joined with zeros for bytes the file lacks
    std::vector<int32_t> filled;     // missing ones written as zeros (--fill-gaps)
    std::vector<std::string> warnings;
    std::string error;  // why nothing was written
    uint64_t bytesWritten = 0;
    double seconds = 0;  // how long the join took
};

// The result of a product skipped as up to date.
ProductResult UpToDateResult(const Product& product, const std::string& outputPath);

// A product that failed before its join began (its output folder could not
// be made, say).
ProductResult FailedResult(const Product& product, FailureKind failure, const std::string& error);

}  // namespace segweld::station
