#include <bzlib.h>

#include <algorithm>
#include <climits>
#include <new>

#include "unpack/codec.h"

namespace segweld::unpack {
namespace {

const char* Describe(int status) {
    switch (status) {
        case BZ_DATA_ERROR:
            return "a block fails its check";
        case BZ_DATA_ERROR_MAGIC:
            return "no bzip2 stream begins here";
        case BZ_MEM_ERROR:
            return "not enough memory to decompress it";
        default:
            return "the bzip2 library fails";
    }
}

class Bzip2Codec : public Codec {
  public:
    Bzip2Codec() { Start(); }
    ~Bzip2Codec() override { BZ2_bzDecompressEnd(&stream_); }
    Bzip2Codec(const Bzip2Codec&) = delete;
    Bzip2Codec& operator=(const Bzip2Codec&) = delete;

    CodecStep Decode(std::span<const uint8_t>& input, std::span<uint8_t>& output, bool,
                     std::string& fault) override {
        stream_.next_in = const_cast<char*>(reinterpret_cast<const char*>(input.data()));
        stream_.avail_in = static_cast<unsigned>(std::min<size_t>(input.size(), UINT_MAX));
        stream_.next_out = reinterpret_cast<char*>(output.data());
        stream_.avail_out = static_cast<unsigned>(std::min<size_t>(output.size(), UINT_MAX));
        const int status = BZ2_bzDecompress(&stream_);
        input = input.subspan(
            static_cast<size_t>(stream_.next_in - reinterpret_cast<const char*>(input.data())));
        output = output.subspan(
            static_cast<size_t>(stream_.next_out - reinterpret_cast<char*>(output.data())));
        if (status == BZ_STREAM_END) {
            return CodecStep::StreamEnd;
        }
        if (status != BZ_OK) {
            fault = Describe(status);
            return CodecStep::Failed;
        }
        return CodecStep::Going;
    }

    void Restart() override {
        BZ2_bzDecompressEnd(&stream_);
        Start();
    }

  private:
    void Start() {
        stream_ = bz_stream{};
        if (BZ2_bzDecompressInit(&stream_, 0, 0) != BZ_OK) {
            throw std::bad_alloc();
        }
    }

    bz_stream stream_{};
};

}  // namespace

std::unique_ptr<Codec> MakeBzip2Codec() {
    return std::make_unique<Bzip2Codec>();
}

}  // namespace segweld::unpack
