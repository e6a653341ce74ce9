#include "geo/segment_pixels.h"

#include <algorithm>

#include "geo/line_quality.h"

namespace segweld::geo {
namespace {

constexpr size_t kStep = 1 << 20;

}  // namespace

const std::vector<uint8_t>& DecompressedFields::Field(SegmentSource& file, uint64_t offset,
                                                      uint64_t bytes) {
    const auto found = std::ranges::find(held_, &file, &decltype(held_)::value_type::first);
    if (found != held_.end()) {
        return found->second;
    }
    if (held_.size() == kHeld) {
        held_.pop_front();
    }
    // Grown as the content comes, so that a header's promise alone
    // allocates nothing.
    std::vector<uint8_t> field;
    while (field.size() < bytes) {
        const size_t start = field.size();
        const auto wanted = static_cast<size_t>(std::min<uint64_t>(kStep, bytes - start));
        field.resize(start + wanted);
        const size_t got = file.ReadAt(offset + start, std::span(field).subspan(start));
        field.resize(start + got);
        if (got < wanted) {
            break;
        }
    }
    return held_.emplace_back(&file, std::move(field)).second;
}

SegmentPixels::SegmentPixels(std::shared_ptr<SegmentSource> file, uint32_t headerLength,
                             std::span<const uint8_t> header, uint32_t lines, uint64_t fieldBytes,
                             std::shared_ptr<DecompressedFields> fields)
    : file_(std::move(file)),
      headerLength_(headerLength),
      fieldBytes_(fieldBytes),
      fields_(std::move(fields)),
      unusable_(UnusableLines(header, lines)) {}

void SegmentPixels::Read(uint64_t offset, std::span<uint8_t> out) const {
    size_t got = 0;
    if (file_->compression() == unpack::Compression::None) {
        got = file_->ReadAt(headerLength_ + offset, out);
    } else {
        const std::vector<uint8_t>& field = fields_->Field(*file_, headerLength_, fieldBytes_);
        if (offset < field.size()) {
            got = static_cast<size_t>(std::min<uint64_t>(out.size(), field.size() - offset));
            std::copy_n(field.begin() + static_cast<std::ptrdiff_t>(offset), got, out.begin());
        }
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(got), out.end(), uint8_t{0});
}

}  // namespace segweld::geo
