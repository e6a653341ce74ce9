#pragma once

#include <string>
#include <vector>

#include "station/log_line.h"
#include "station/product_result.h"

namespace segweld::station {

// The log lines for one product: what became of it, then its warnings.
std::vector<LogLine> DescribeResult(const ProductResult& result);

}  // namespace segweld::station
