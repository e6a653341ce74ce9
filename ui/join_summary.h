#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "join/join_segments.h"

namespace segweld {

// How a join ended, as the dialog shows it at a glance.
enum class JoinOutcome {
    Joined,      // written, without a warning
    Incomplete,  // written, with warnings: segments skipped, short, missing or filled
    Failed,      // nothing written
    Stopped,     // nothing written, because the user stopped the join
};
JoinOutcome OutcomeOf(const JoinReport& report);

// "17,223,680": the digits grouped by thousands, whatever the locale.
std::string GroupThousands(uint64_t value);

// What a join did, for a status line: what it wrote and where, or why nothing
// was written; then, when there were warnings, their number and the first.
std::vector<std::string> JoinSummaryLines(const JoinReport& report);

// The same, with every warning on a line of its own.
std::string JoinSummaryDetails(const JoinReport& report);

}  // namespace segweld
