#pragma once

#include <string>
#include <vector>

#include "station/product_join.h"

namespace segweld::station {

// The log lines for one product: what became of it, then its warnings.
std::vector<std::string> DescribeResult(const ProductResult& result);

}  // namespace segweld::station
