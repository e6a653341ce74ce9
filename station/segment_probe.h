#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hrit/header_reader.h"
#include "station/product_scan.h"

namespace segweld::station {

// What one segment's header says, read without touching its data field; a
// compressed segment is decompressed to its end to see that it is whole.
struct SegmentProbe {
    bool accepted = false;     // the joiner would take it
    bool whole = false;        // the file holds its whole data field; compressed, its
                               // streams end properly right after it
    int32_t plannedStart = 0;  // the plan of the MSG segment identification, when it
    int32_t plannedEnd = 0;    // can be true; 0 unknown
};

// Reads segment headers one after another with one reader, quietly: record
// types it does not know are left to the join to report.
class SegmentProber {
  public:
    SegmentProber();
    SegmentProbe Probe(const std::string& path);

  private:
    CHritHeaderReader reader_;
};

}  // namespace segweld::station
