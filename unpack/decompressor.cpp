#include "unpack/decompressor.h"

#include "unpack/codec.h"

namespace segweld::unpack {
namespace {

constexpr size_t kInputChunk = 64 << 10;

std::unique_ptr<Codec> MakeCodec(Compression compression) {
    switch (compression) {
        case Compression::Bzip2:
            return MakeBzip2Codec();
        case Compression::Gzip:
            return MakeGzipCodec();
        case Compression::Xz:
            return MakeXzCodec();
        case Compression::None:
            break;
    }
    return nullptr;
}

}  // namespace

Decompressor::Decompressor(Compression compression, Source source)
    : compression_(compression),
      source_(std::move(source)),
      codec_(MakeCodec(compression)),
      input_(kInputChunk) {
    if (!codec_) {
        End(Ending::Corrupt, "it is not compressed");
    }
}

Decompressor::~Decompressor() = default;

size_t Decompressor::Read(std::span<uint8_t> out) {
    size_t produced = 0;
    while (produced < out.size() && ending_ == Ending::NotYet) {
        if (pending_.empty() && !inputEnded_) {
            Refill();
        }
        std::span<uint8_t> room = out.subspan(produced);
        const size_t roomBefore = room.size();
        const size_t pendingBefore = pending_.size();
        std::string why;
        const CodecStep step = codec_->Decode(pending_, room, inputEnded_, why);
        produced += roomBefore - room.size();
        const bool moved = room.size() != roomBefore || pending_.size() != pendingBefore;
        const std::string name = NameOf(compression_);
        if (step == CodecStep::Failed) {
            End(Ending::Corrupt, "its " + name + " data are corrupt: " + why);
        } else if (step == CodecStep::StreamEnd) {
            AfterStreamEnd();
        } else if (!moved && pending_.empty() && inputEnded_) {
            End(Ending::Truncated, bytesIn_ == 0
                                       ? "the file is empty, so it holds no " + name + " stream"
                                       : "its " + name + " stream ends early");
        } else if (!moved) {
            End(Ending::Corrupt, "its " + name + " data stop making progress");
        }
    }
    return produced;
}

void Decompressor::Refill() {
    const size_t got = source_(input_);
    bytesIn_ += got;
    inputEnded_ = got == 0;
    pending_ = std::span<const uint8_t>(input_.data(), got);
}

// Another stream may follow where one ends; the content is complete only
// where the file ends too.
void Decompressor::AfterStreamEnd() {
    if (pending_.empty() && !inputEnded_) {
        Refill();
    }
    if (pending_.empty()) {
        ending_ = Ending::Complete;
        return;
    }
    codec_->Restart();
}

void Decompressor::End(Ending ending, std::string fault) {
    ending_ = ending;
    fault_ = std::move(fault);
}

}  // namespace segweld::unpack
