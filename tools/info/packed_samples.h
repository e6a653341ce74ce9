#pragma once

#include <cstdint>

#include "hrit/big_endian_reader.h"

namespace segweld::info {

// The sample of `bitsPerPixel` bits (1 to 16) that starts `bit` bits into
// `bytes`, most significant bit first, as image data fields pack them. Bits
// beyond the end of `bytes` read as zero.
inline uint32_t SampleAt(const BigEndianReader& bytes, uint64_t bit, uint32_t bitsPerPixel) {
    const uint32_t word = bytes.U32(static_cast<size_t>(bit / 8));
    const uint32_t shift = 32 - static_cast<uint32_t>(bit % 8) - bitsPerPixel;
    return (word >> shift) & ((1u << bitsPerPixel) - 1);
}

}  // namespace segweld::info
