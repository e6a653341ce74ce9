#pragma once

#include <string>
#include <vector>

#include "station/product_join.h"

namespace segweld::station {

// The report of a batch as JSON: an array with one object per product (key,
// status, output, segmentsJoined, missing, damaged, filled, warnings, error).
std::string BatchReportJson(const std::vector<ProductResult>& results);

// Writes `text` to `path` through a temporary of the same folder and a rename,
// so a reader never sees half a report; `error` says why it could not.
bool WriteReportFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace segweld::station
