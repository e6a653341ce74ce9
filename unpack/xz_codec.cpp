#include <lzma.h>

#include <new>

#include "unpack/codec.h"

namespace segweld::unpack {
namespace {

// The most a stream may ask for: xz -9 asks for 65 MiB. The memory is
// reserved, but only as much of it is touched as a segment's bytes fill.
constexpr uint64_t kMemoryLimit = uint64_t{128} << 20;

const char* Describe(lzma_ret status) {
    switch (status) {
        case LZMA_FORMAT_ERROR:
            return "no xz stream begins here";
        case LZMA_OPTIONS_ERROR:
            return "it asks for options that cannot be decoded here";
        case LZMA_DATA_ERROR:
            return "its data fail their check";
        case LZMA_MEM_ERROR:
            return "not enough memory to decompress it";
        case LZMA_MEMLIMIT_ERROR:
            return "it asks for more than 128 MiB of memory to decompress";
        default:
            return "the xz library fails";
    }
}

class XzCodec : public Codec {
  public:
    XzCodec() { Start(); }
    ~XzCodec() override { lzma_end(&stream_); }
    XzCodec(const XzCodec&) = delete;
    XzCodec& operator=(const XzCodec&) = delete;

    CodecStep Decode(std::span<const uint8_t>& input, std::span<uint8_t>& output, bool inputEnded,
                     std::string& fault) override {
        stream_.next_in = input.data();
        stream_.avail_in = input.size();
        stream_.next_out = output.data();
        stream_.avail_out = output.size();
        // Concatenated streams end only where the input does.
        const lzma_ret status = lzma_code(&stream_, inputEnded ? LZMA_FINISH : LZMA_RUN);
        input = input.subspan(static_cast<size_t>(stream_.next_in - input.data()));
        output = output.subspan(static_cast<size_t>(stream_.next_out - output.data()));
        switch (status) {
            case LZMA_STREAM_END:
                return CodecStep::StreamEnd;
            case LZMA_OK:
            case LZMA_BUF_ERROR:  // no progress possible: the caller sees none
                return CodecStep::Going;
            default:
                fault = Describe(status);
                return CodecStep::Failed;
        }
    }

    void Restart() override {
        lzma_end(&stream_);
        Start();
    }

  private:
    void Start() {
        stream_ = LZMA_STREAM_INIT;
        if (lzma_stream_decoder(&stream_, kMemoryLimit, LZMA_CONCATENATED) != LZMA_OK) {
            throw std::bad_alloc();
        }
    }

    lzma_stream stream_ = LZMA_STREAM_INIT;
};

}  // namespace

std::unique_ptr<Codec> MakeXzCodec() {
    return std::make_unique<XzCodec>();
}

}  // namespace segweld::unpack
