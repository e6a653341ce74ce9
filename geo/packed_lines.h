#pragma once

#include <cstdint>
#include <span>

#include "hrit/big_endian_reader.h"

namespace segweld::geo {

// Unpacks out.size() samples of `bitsPerPixel` bits (1 to 16) that start
// `firstBit` bits into `packed`, most significant bit first, as image data
// fields pack them (lines follow each other without padding). With `reverse`
// the first sample lands in the last element. Bits beyond the end read as 0.
inline void UnpackLine(const BigEndianReader& packed, uint64_t firstBit, uint32_t bitsPerPixel,
                       bool reverse, std::span<uint16_t> out) {
    const uint32_t mask = (1u << bitsPerPixel) - 1;
    uint64_t bit = firstBit;
    for (size_t i = 0; i < out.size(); ++i, bit += bitsPerPixel) {
        const uint32_t word = packed.U32(static_cast<size_t>(bit / 8));
        const uint32_t shift = 32 - static_cast<uint32_t>(bit % 8) - bitsPerPixel;
        out[reverse ? out.size() - 1 - i : i] = static_cast<uint16_t>((word >> shift) & mask);
    }
}

}  // namespace segweld::geo
