#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "join/segment_file.h"

namespace segweld::geo {

// The data field of one joined segment, as its image is read: the one place
// where the image writers read a segment's pixels, from the file that the
// walk opened and whose header it read.
class SegmentPixels {
  public:
    // `file` holds the data field from `headerLength` on; `header` is the
    // whole header as the walk read it, of a segment of `lines` lines.
    SegmentPixels(std::shared_ptr<SegmentFile> file, uint32_t headerLength,
                  std::span<const uint8_t> header, uint32_t lines);

    // Reads out.size() bytes from `offset` of the data field; bytes beyond
    // the end of the file are 0. Throws os::ReadError.
    void Read(uint64_t offset, std::span<uint8_t> out) const;
    // Whether the line quality record marks line `line` (from 0) unusable.
    bool Unusable(uint32_t line) const { return line < unusable_.size() && unusable_[line]; }

  private:
    std::shared_ptr<SegmentFile> file_;
    uint32_t headerLength_;
    std::vector<bool> unusable_;
};

}  // namespace segweld::geo
