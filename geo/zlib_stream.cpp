#include "geo/zlib_stream.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <stdexcept>

namespace segweld::geo {

struct ZlibStream::Compressor {
    explicit Compressor(int level)
        : level(static_cast<uint32_t>(std::clamp(level, ISAL_DEF_MIN_LEVEL, ISAL_DEF_MAX_LEVEL))),
          buffer(level == 0   ? ISAL_DEF_LVL0_DEFAULT
                 : level == 1 ? ISAL_DEF_LVL1_DEFAULT
                 : level == 2 ? ISAL_DEF_LVL2_DEFAULT
                              : ISAL_DEF_LVL3_DEFAULT) {}

    uint32_t level;
    std::vector<uint8_t> buffer;  // the level's hash tables
};

std::span<const uint8_t> ZlibStream::Compress(std::span<const uint8_t> data) {
    // Room for the data in stored blocks, which igzip falls back on where
    // compressing would not save, with the header and the checksum.
    out_.resize(data.size() + data.size() / 4096 * 8 + ISAL_DEF_MAX_HDR_SIZE + 64);
    isal_zstream stream;
    isal_deflate_stateless_init(&stream);
    stream.level = compressor_->level;
    stream.level_buf = compressor_->buffer.data();
    stream.level_buf_size = static_cast<uint32_t>(compressor_->buffer.size());
    stream.gzip_flag = IGZIP_ZLIB;
    stream.end_of_stream = 1;
    stream.flush = NO_FLUSH;
    stream.next_in = const_cast<uint8_t*>(data.data());
    stream.avail_in = static_cast<uint32_t>(data.size());
    stream.next_out = out_.data();
    stream.avail_out = static_cast<uint32_t>(out_.size());
    if (isal_deflate_stateless(&stream) != COMP_OK) {
        throw std::runtime_error("igzip cannot compress a chunk");
    }
    return {out_.data(), stream.total_out};
}

ZlibStream::ZlibStream(int level) : compressor_(std::make_unique<Compressor>(level)) {}

ZlibStream::~ZlibStream() = default;

}  // namespace segweld::geo
