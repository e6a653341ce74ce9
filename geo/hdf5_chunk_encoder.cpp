#include "geo/hdf5_chunk_encoder.h"

#include <algorithm>
#include <bit>

namespace segweld::geo {
namespace {

// The bits of a stored element, as an unsigned number.
inline uint32_t Bits(float value) {
    return std::bit_cast<uint32_t>(value);
}
inline uint32_t Bits(uint16_t value) {
    return value;
}
inline uint32_t Bits(uint8_t value) {
    return value;
}

// Byte `index` of an element of `size` bytes as it lies in memory, as a shift
// of its bits.
constexpr unsigned ShiftOfByte(size_t index, size_t size) {
    return 8 * static_cast<unsigned>(std::endian::native == std::endian::little ? index
                                                                                : size - 1 - index);
}

// The first byte in memory of every element of `size` bytes, then the
// second, and so on. (Restricted, for the compiler to vectorize the loop.)
template <size_t Size>
void Shuffle(const uint32_t* __restrict elements, size_t count, uint8_t* __restrict shuffled) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t bits = elements[i];
        for (size_t b = 0; b < Size; ++b) {
            shuffled[b * count + i] = static_cast<uint8_t>(bits >> ShiftOfByte(b, Size));
        }
    }
}

}  // namespace

Hdf5ChunkEncoder::Hdf5ChunkEncoder(int level) : zlib_(level) {}

template <typename Stored, typename Pixel>
std::vector<uint8_t> Hdf5ChunkEncoder::Encode(std::span<const Pixel> strip, uint32_t width,
                                              uint32_t rows, uint32_t left, ChunkShape shape,
                                              Stored fill) {
    // The chunk's elements row by row, each as its bits.
    const size_t count = size_t{shape.rows} * shape.columns;
    elements_.resize(count);
    const uint32_t filledRows = std::min(rows, shape.rows);
    const uint32_t filledColumns = std::min(width - left, shape.columns);
    uint32_t* element = elements_.data();
    for (uint32_t r = 0; r < shape.rows; ++r, element += shape.columns) {
        uint32_t c = 0;
        if (r < filledRows) {
            const Pixel* row = strip.data() + size_t{r} * width + left;
            for (; c < filledColumns; ++c) {
                element[c] = Bits(static_cast<Stored>(row[c]));
            }
        }
        std::fill(element + c, element + shape.columns, Bits(fill));
    }
    shuffled_.resize(count * sizeof(Stored));
    Shuffle<sizeof(Stored)>(elements_.data(), count, shuffled_.data());
    const std::span<const uint8_t> stream = zlib_.Compress(shuffled_);
    return {stream.begin(), stream.end()};
}

template std::vector<uint8_t> Hdf5ChunkEncoder::Encode(std::span<const float>, uint32_t, uint32_t,
                                                       uint32_t, ChunkShape, float);
template std::vector<uint8_t> Hdf5ChunkEncoder::Encode(std::span<const uint16_t>, uint32_t,
                                                       uint32_t, uint32_t, ChunkShape, uint16_t);
template std::vector<uint8_t> Hdf5ChunkEncoder::Encode(std::span<const uint16_t>, uint32_t,
                                                       uint32_t, uint32_t, ChunkShape, uint8_t);

}  // namespace segweld::geo
