#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "join/segment_source.h"

namespace segweld::geo {

// The data fields of the compressed segments of one image, decompressed whole
// while their pixels are read. An image is read a strip of rows at a time from
// north to south, and each overview samples it anew, which steps back through
// segments whose lines are stored from south to north; a compressed stream
// could answer each step back only by decompressing again from its start. The
// fields read last are kept, as many as a strip of rows spans.
class DecompressedFields {
  public:
    // The first `bytes` of the data field of `file` from `offset`: fewer
    // where the segment ends. Throws os::ReadError.
    const std::vector<uint8_t>& Field(SegmentSource& file, uint64_t offset, uint64_t bytes);

  private:
    static constexpr size_t kHeld = 3;
    std::deque<std::pair<const SegmentSource*, std::vector<uint8_t>>> held_;
};

// The data field of one joined segment, as its image is read: the one place
// where the image writers read a segment's pixels, from the file that the
// walk opened and whose header it read, stored plain or compressed.
class SegmentPixels {
  public:
    // `file` holds the data field of `fieldBytes` from `headerLength` on;
    // `header` is the whole header as the walk read it, of a segment of
    // `lines` lines. A compressed segment's field is read through `fields`.
    SegmentPixels(std::shared_ptr<SegmentSource> file, uint32_t headerLength,
                  std::span<const uint8_t> header, uint32_t lines, uint64_t fieldBytes,
                  std::shared_ptr<DecompressedFields> fields);

    // Reads out.size() bytes from `offset` of the data field; bytes beyond
    // the end of the segment are 0. Throws os::ReadError.
    void Read(uint64_t offset, std::span<uint8_t> out) const;
    // Whether the line quality record marks line `line` (from 0) unusable.
    bool Unusable(uint32_t line) const { return line < unusable_.size() && unusable_[line]; }

  private:
    std::shared_ptr<SegmentSource> file_;
    uint32_t headerLength_;
    uint64_t fieldBytes_;
    std::shared_ptr<DecompressedFields> fields_;
    std::vector<bool> unusable_;
};

}  // namespace segweld::geo
