#include "join/segment_source.h"

#include <algorithm>

#include "join/decompressed_buf.h"

namespace segweld {
namespace {

// Hands the content's bytes from `offset` on to `take`, a window's worth at
// a time, until `limit` of them have gone or the content ends.
template <typename Take>
uint64_t TakeContent(DecompressedBuf& content, uint64_t offset, uint64_t limit, Take take) {
    uint64_t done = 0;
    if (!content.MoveTo(offset)) {
        return 0;
    }
    while (done < limit) {
        const std::span<const uint8_t> bytes = content.Available();
        if (bytes.empty()) {
            break;
        }
        const auto step = static_cast<size_t>(std::min<uint64_t>(bytes.size(), limit - done));
        take(bytes.first(step), done);
        content.Consume(step);
        done += step;
    }
    return done;
}

}  // namespace

SegmentSource::SegmentSource() : plain_(std::make_unique<SegmentFile>()) {}
SegmentSource::~SegmentSource() = default;

OpenOutcome SegmentSource::Open(const std::string& path) {
    decompressedStream_.reset();
    decompressed_.reset();
    plain_ = std::make_unique<SegmentFile>();
    compression_ = unpack::CompressionOfName(path);
    const OpenOutcome outcome = plain_->Open(path);
    if (outcome == OpenOutcome::Opened && compression_ != unpack::Compression::None) {
        decompressed_ = std::make_unique<DecompressedBuf>(plain_->file(), compression_);
        decompressedStream_ = std::make_unique<std::istream>(decompressed_.get());
    }
    return outcome;
}

std::istream& SegmentSource::stream() {
    return decompressedStream_ ? *decompressedStream_ : plain_->stream();
}

void SegmentSource::StandAt(uint64_t offset) {
    if (!decompressedStream_) {
        plain_->StandAt(offset);
        return;
    }
    decompressedStream_->clear();
    decompressedStream_->seekg(static_cast<std::streamoff>(offset));
}

void SegmentSource::ThrowIfStreamFailed() const {
    if (decompressed_ && !decompressed_->readError().empty()) {
        throw os::ReadError(decompressed_->readError());
    }
    plain_->ThrowIfStreamFailed();
}

uint64_t SegmentSource::position() const {
    return decompressed_ ? decompressed_->position() : plain_->position();
}

size_t SegmentSource::ReadAt(uint64_t offset, std::span<uint8_t> out) {
    if (!decompressed_) {
        return plain_->ReadAt(offset, out);
    }
    return static_cast<size_t>(TakeContent(
        *decompressed_, offset, out.size(), [out](std::span<const uint8_t> bytes, uint64_t at) {
            std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
        }));
}

uint64_t SegmentSource::AppendTo(os::HiddenOutput& output, uint64_t offset, uint64_t length) {
    if (!decompressed_) {
        return output.AppendFrom(plain_->file(), offset, length);
    }
    return TakeContent(
        *decompressed_, offset, length,
        [&output](std::span<const uint8_t> bytes, uint64_t) { output.Append(bytes); });
}

uint64_t SegmentSource::BytesFrom(uint64_t offset, uint64_t limit) {
    if (!decompressed_) {
        const uint64_t size = plain_->size();
        return size > offset ? std::min(size - offset, limit) : 0;
    }
    return TakeContent(*decompressed_, offset, limit, [](std::span<const uint8_t>, uint64_t) {});
}

const std::string& SegmentSource::fault() const {
    static const std::string none;
    return decompressed_ ? decompressed_->fault() : none;
}

std::string SegmentSource::DamageUpTo(uint64_t end) {
    if (!decompressed_) {
        return "";
    }
    if (decompressed_->MoveTo(end) && !decompressed_->Available().empty()) {
        return "it decompresses to more than the " + std::to_string(end) +
               " bytes its header promises";
    }
    return decompressed_->fault();
}

}  // namespace segweld
