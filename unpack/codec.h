#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "unpack/compression.h"

namespace segweld::unpack {

// What one call of a codec came to.
enum class CodecStep {
    Going,      // more is to come: more input, or more room for output
    StreamEnd,  // a stream ended; more input may start another
    Failed,     // the data cannot be decoded
};

// The decoder of one compression format, over one library's stream state.
class Codec {
  public:
    virtual ~Codec() = default;

    // Decodes from the front of `input` into the front of `output` and
    // advances both past what it used. `inputEnded`: no byte follows `input`.
    // On Failed, `fault` says why, in the library's words.
    virtual CodecStep Decode(std::span<const uint8_t>& input, std::span<uint8_t>& output,
                             bool inputEnded, std::string& fault) = 0;
    // Makes ready for another stream right after the one that ended.
    virtual void Restart() = 0;
};

std::unique_ptr<Codec> MakeBzip2Codec();
std::unique_ptr<Codec> MakeGzipCodec();
std::unique_ptr<Codec> MakeXzCodec();

}  // namespace segweld::unpack
