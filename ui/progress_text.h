#pragma once

#include <string>

#include "join/join_segments.h"

namespace segweld {

// Where a join stands, as the dialog words it.
struct ProgressText {
    // "Joining segment 3 of 8 (25%): 1,048,576 bytes written, 2.1 MB/s, about 6 s left"
    std::string line;
    // The window title: "25%, about 6 s left - Segweld", or "Joining - Segweld" while
    // the plan is unknown.
    std::string title;
    int percent = -1;  // of the planned segments done; -1 while the plan is unknown
};

// The rate and the time left show once `elapsedSeconds` of joining give a
// fair measure of them; the time left needs the plan and a segment done.
ProgressText DescribeProgress(const JoinProgress& progress, double elapsedSeconds);

}  // namespace segweld
