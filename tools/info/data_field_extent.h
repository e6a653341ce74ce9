#pragma once

#include <cstdint>

#include "join/segment_walk.h"

namespace segweld::info {

// The bytes of a visited segment after its header, at most `limit`; a
// compressed segment is decompressed to count them.
inline uint64_t BytesAfterHeader(const SegmentVisit& visit, uint64_t limit) {
    if (!visit.header || !visit.file) {
        return 0;
    }
    return visit.file->BytesFrom(visit.headerLength, limit);
}

// How many of the data field's whole bytes (those the join copies) the file
// holds; 0 for a segment without a header.
inline uint64_t DataBytesHeld(const SegmentVisit& visit) {
    return visit.header ? BytesAfterHeader(visit, DataFieldBytes(*visit.header)) : 0;
}

}  // namespace segweld::info
