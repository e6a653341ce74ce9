#pragma once

#include <string>

#include "station/product_result.h"
#include "station/slot_record.h"

namespace segweld::station {

// A channel's record from the join of its product.
ChannelRecord MemberOf(const ProductResult& result, const std::string& channel);

// A channel's record for a product whose output was found up to date, from
// the walk a join would take over its headers alone (with --fill-gaps past
// the gaps it would fill), starting at `firstSegmentPath`. A read error counts
// as the end of the walk.
ChannelRecord SurveyMember(const std::string& productKey, const std::string& firstSegmentPath,
                           const std::string& outputPath, const std::string& channel,
                           bool fillGaps);

}  // namespace segweld::station
