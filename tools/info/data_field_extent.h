#pragma once

#include <algorithm>
#include <cstdint>

#include "join/segment_walk.h"

namespace segweld::info {

// The bytes of a visited segment's file after its header, at most `limit`.
inline uint64_t BytesAfterHeader(const SegmentVisit& visit, uint64_t limit) {
    if (!visit.header || !visit.file) {
        return 0;
    }
    const uint64_t dataStart = visit.file->position();
    const uint64_t held = visit.file->size() > dataStart ? visit.file->size() - dataStart : 0;
    return std::min(held, limit);
}

// How many of the data field's whole bytes (those the join copies) the file
// holds; 0 for a segment without a header.
inline uint64_t DataBytesHeld(const SegmentVisit& visit) {
    return visit.header ? BytesAfterHeader(visit, DataFieldBytes(*visit.header)) : 0;
}

// The same, counting also the last byte of a data field whose length in bits
// is not a whole number of bytes: the image's last samples lie in it.
inline uint64_t ImageBytesHeld(const SegmentVisit& visit) {
    if (!visit.header) {
        return 0;
    }
    const bool partialByte = visit.header->dataFieldLengthLow % 8 != 0;
    return BytesAfterHeader(visit, DataFieldBytes(*visit.header) + (partialByte ? 1 : 0));
}

}  // namespace segweld::info
