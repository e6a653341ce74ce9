#pragma once

#include "tools/info/json_text.h"
#include "tools/info/series_survey.h"

namespace segweld::info {

// The survey of a product as one JSON object: "file", "segments" (one object
// per number looked at), "beyondGap" and "summary".
Json SeriesJson(const SeriesReport& report);

}  // namespace segweld::info
