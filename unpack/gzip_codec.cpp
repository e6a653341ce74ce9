#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>

#include "unpack/codec.h"

namespace segweld::unpack {
namespace {

// zlib reads the gzip wrapper (header, CRC-32 and length) with this window.
constexpr int kGzipWindowBits = 16 + MAX_WBITS;

class GzipCodec : public Codec {
  public:
    GzipCodec() {
        if (inflateInit2(&stream_, kGzipWindowBits) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~GzipCodec() override { inflateEnd(&stream_); }
    GzipCodec(const GzipCodec&) = delete;
    GzipCodec& operator=(const GzipCodec&) = delete;

    CodecStep Decode(std::span<const uint8_t>& input, std::span<uint8_t>& output, bool,
                     std::string& fault) override {
        stream_.next_in = const_cast<Bytef*>(input.data());
        stream_.avail_in = static_cast<uInt>(std::min<size_t>(input.size(), UINT_MAX));
        stream_.next_out = output.data();
        stream_.avail_out = static_cast<uInt>(std::min<size_t>(output.size(), UINT_MAX));
        const int status = inflate(&stream_, Z_NO_FLUSH);
        input = input.subspan(static_cast<size_t>(stream_.next_in - input.data()));
        output = output.subspan(static_cast<size_t>(stream_.next_out - output.data()));
        switch (status) {
            case Z_STREAM_END:
                return CodecStep::StreamEnd;
            case Z_OK:
            case Z_BUF_ERROR:  // no progress possible now: the caller sees none
                return CodecStep::Going;
            case Z_MEM_ERROR:
                fault = "not enough memory to decompress it";
                return CodecStep::Failed;
            default:
                fault = stream_.msg != nullptr ? stream_.msg : "the zlib library fails";
                return CodecStep::Failed;
        }
    }

    void Restart() override { inflateReset(&stream_); }

  private:
    z_stream stream_{};
};

}  // namespace

std::unique_ptr<Codec> MakeGzipCodec() {
    return std::make_unique<GzipCodec>();
}

}  // namespace segweld::unpack
