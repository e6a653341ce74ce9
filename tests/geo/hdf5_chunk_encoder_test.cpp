// Chunks encoded for HDF5 read back by zlib's inflate as HDF5 reads them:
// unshuffled, they are the chunk's elements, the fill value where the image
// ends; noise that deflate cannot shrink fits too.
#include "geo/hdf5_chunk_encoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <random>

namespace segweld::geo {
namespace {

// `encoded` inflated and unshuffled into elements of `size` bytes.
std::vector<uint8_t> Decode(const std::vector<uint8_t>& encoded, size_t count, size_t size) {
    std::vector<uint8_t> shuffled(count * size);
    uLongf length = shuffled.size();
    EXPECT_EQ(uncompress(shuffled.data(), &length, encoded.data(), encoded.size()), Z_OK);
    EXPECT_EQ(length, shuffled.size());
    std::vector<uint8_t> elements(shuffled.size());
    for (size_t i = 0; i < count; ++i) {
        for (size_t b = 0; b < size; ++b) {
            elements[i * size + b] = shuffled[b * count + i];
        }
    }
    return elements;
}

template <typename Stored, typename Pixel>
void ExpectChunk(const std::vector<Pixel>& strip, uint32_t width, uint32_t rows, uint32_t left,
                 ChunkShape shape, Stored fill) {
    Hdf5ChunkEncoder encoder(1);
    const std::vector<uint8_t> encoded = encoder.Encode<Stored, Pixel>(
        std::span<const Pixel>(strip), width, rows, left, shape, fill);
    const size_t count = size_t{shape.rows} * shape.columns;
    const std::vector<uint8_t> bytes = Decode(encoded, count, sizeof(Stored));
    for (uint32_t r = 0; r < shape.rows; ++r) {
        for (uint32_t c = 0; c < shape.columns; ++c) {
            const bool inside = r < rows && left + c < width;
            const Stored expected =
                inside ? static_cast<Stored>(strip[size_t{r} * width + left + c]) : fill;
            const uint8_t* element = &bytes[(size_t{r} * shape.columns + c) * sizeof(Stored)];
            ASSERT_EQ(std::memcmp(element, &expected, sizeof(Stored)), 0)
                << "row " << r << ", column " << c;
        }
    }
}

TEST(Hdf5ChunkEncoder, ChunksInflateToTheirElementsAndFill) {
    std::mt19937 random(7);
    std::vector<float> noise(64 * 300);
    for (float& value : noise) {
        value = std::bit_cast<float>(static_cast<uint32_t>(random()) & 0x7f7fffffu);
    }
    std::vector<float> smooth(64 * 300);
    for (size_t i = 0; i < smooth.size(); ++i) {
        smooth[i] = i % 7 == 0 ? std::numeric_limits<float>::quiet_NaN() : 200.0f + i % 300;
    }
    std::vector<uint16_t> counts(64 * 300);
    for (size_t i = 0; i < counts.size(); ++i) {
        counts[i] = static_cast<uint16_t>(i * 37 % 1024);
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    {
        SCOPED_TRACE("noise, a whole chunk");
        ExpectChunk(noise, 300, 64, 128, {64, 128}, nan);
    }
    {
        SCOPED_TRACE("floats, the last chunk of a strip cut east and south");
        ExpectChunk(smooth, 300, 50, 256, {64, 128}, nan);
    }
    {
        SCOPED_TRACE("16-bit counts, cut east");
        ExpectChunk(counts, 300, 64, 256, {64, 128}, uint16_t{0});
    }
    std::vector<uint16_t> small(counts.size());
    std::transform(counts.begin(), counts.end(), small.begin(),
                   [](uint16_t count) { return static_cast<uint16_t>(count % 256); });
    {
        SCOPED_TRACE("8-bit counts, cut south");
        ExpectChunk(small, 300, 10, 0, {64, 128}, uint8_t{0});
    }
}

}  // namespace
}  // namespace segweld::geo
