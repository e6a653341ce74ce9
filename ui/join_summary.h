#pragma once

#include <cstdint>
#include <string>

#include "join/join_segments.h"

namespace segweld {

// "17,223,680": the digits grouped by thousands, whatever the locale.
std::string GroupThousands(uint64_t value);

// One line that says what a join did: what it wrote and where, or why nothing
// was written, followed by the number of warnings and the first of them.
std::string JoinSummaryLine(const JoinReport& report);

// The same, with every warning on a line of its own.
std::string JoinSummaryDetails(const JoinReport& report);

}  // namespace segweld
