#pragma once

#include <cstdint>
#include <span>

#include "hrit/big_endian_reader.h"

namespace segweld {

// The sample of `bitsPerPixel` bits (1 to 16) that starts `bit` bits into
// `packed`, most significant bit first, as image data fields pack them (lines
// follow each other without padding). Bits beyond the end read as 0.
inline uint16_t PackedSampleAt(const BigEndianReader& packed, uint64_t bit, uint32_t bitsPerPixel) {
    const uint32_t word = packed.U32(static_cast<size_t>(bit / 8));
    const uint32_t shift = 32 - static_cast<uint32_t>(bit % 8) - bitsPerPixel;
    return static_cast<uint16_t>((word >> shift) & ((1u << bitsPerPixel) - 1));
}

// Unpacks out.size() samples of `bitsPerPixel` bits (1 to 16) that start
// `firstBit` bits into `packed`. With `reverse` the first sample lands in the
// last element. Bits beyond the end read as 0.
inline void UnpackSamples(const BigEndianReader& packed, uint64_t firstBit, uint32_t bitsPerPixel,
                          bool reverse, std::span<uint16_t> out) {
    uint64_t bit = firstBit;
    const size_t last = out.size() - 1;
    for (size_t i = 0; i < out.size(); ++i, bit += bitsPerPixel) {
        out[reverse ? last - i : i] = PackedSampleAt(packed, bit, bitsPerPixel);
    }
}

}  // namespace segweld
