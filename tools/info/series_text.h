#pragma once

#include <string>

#include "tools/info/series_survey.h"

namespace segweld::info {

// The survey of a product for people: a table of the segment numbers looked
// at, the files beyond the gap, and a summary.
std::string SeriesText(const SeriesReport& report);

}  // namespace segweld::info
