// segweld-info --preview: the product's picture as a PNG file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <png.h>

#include <functional>

#include "tests/tools/info_test_product.h"

namespace segweld {
namespace {

using test::ProgramResult;
using test::RunInfo;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;

    int At(uint32_t x, uint32_t y) const { return pixels.at(size_t{y} * width + x); }
};

Picture ReadPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture picture;
    if (png_image_begin_read_from_file(&image, path.c_str()) != 0) {
        image.format = PNG_FORMAT_GRAY;
        picture = {image.width, image.height, std::vector<uint8_t>(PNG_IMAGE_SIZE(image))};
        png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr);
    }
    EXPECT_EQ(image.warning_or_error & PNG_IMAGE_ERROR, 0) << path << ": " << image.message;
    return picture;
}

int Scaled(uint32_t sample, uint32_t bits) {
    const uint32_t max = (1u << bits) - 1;
    return static_cast<int>((sample * 255 + max / 2) / max);
}

// A segment's data field: `sample(line, column)` for every stored line and
// column, packed most significant bit first.
template <typename Sample>
std::vector<uint8_t> SegmentData(uint32_t columns, uint32_t lines, uint32_t bits, Sample sample) {
    std::vector<uint8_t> bytes((size_t{columns} * lines * bits + 7) / 8, 0);
    size_t bit = 0;
    for (uint32_t line = 0; line < lines; ++line) {
        for (uint32_t column = 0; column < columns; ++column) {
            for (uint32_t i = bits; i-- > 0; ++bit) {
                bytes[bit / 8] |= ((sample(line, column) >> i) & 1) << (7 - bit % 8);
            }
        }
    }
    return bytes;
}

std::vector<uint8_t> ConstantData(uint32_t columns, uint32_t lines, uint32_t bits, uint32_t value) {
    return SegmentData(columns, lines, bits, [value](uint32_t, uint32_t) { return value; });
}

class PreviewTest : public ::testing::Test {
  protected:
    ProgramResult Preview(const test::TestProduct& product) {
        return RunInfo({"--preview", out, product.Path(1)});
    }

    test::TempFolder outputFolder;
    std::string out = outputFolder / "preview.png";
};

TEST_F(PreviewTest, PictureIsNorthUpAndEastRight) {
    // Stored: segment 1 holds the southern lines, each line runs east to west.
    constexpr uint32_t kColumns = 7, kLines = 3, kSegments = 4;
    test::TestProduct product(kColumns, kLines, 10);
    const auto sample = [](uint32_t segment, uint32_t line, uint32_t column) {
        return 200 * segment + 20 * line + column;
    };
    for (uint32_t segment = 1; segment <= kSegments; ++segment) {
        product.Write(segment, SegmentData(kColumns, kLines, 10, std::bind_front(sample, segment)),
                      kSegments);
    }
    const ProgramResult result = Preview(product);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const Picture picture = ReadPng(out);
    ASSERT_EQ(picture.width, kColumns);
    ASSERT_EQ(picture.height, kLines * kSegments);
    for (uint32_t y = 0; y < picture.height; ++y) {
        const uint32_t fromSouth = picture.height - 1 - y;
        for (uint32_t x = 0; x < picture.width; ++x) {
            const uint32_t stored =
                sample(fromSouth / kLines + 1, fromSouth % kLines, kColumns - 1 - x);
            EXPECT_EQ(picture.At(x, y), Scaled(stored, 10)) << "x " << x << " y " << y;
        }
    }
    EXPECT_THAT(test::ListFolder(outputFolder.path()), ElementsAre("preview.png"))
        << "no temporary file is left";
}

TEST_F(PreviewTest, EightTenAndSixteenBitsAreScaledToEight) {
    const std::pair<uint8_t, uint32_t> cases[] = {{8, 200}, {10, 300}, {16, 0x8000}, {16, 0xFFFF}};
    for (const auto& [bits, value] : cases) {
        test::TestProduct product(5, 2, bits);
        product.Write(1, ConstantData(5, 2, bits, value), 1);
        ASSERT_EQ(Preview(product).exitCode, 0);
        EXPECT_EQ(ReadPng(out).At(2, 1), Scaled(value, bits)) << int{bits} << " bits, " << value;
    }
}

TEST_F(PreviewTest, SegmentsNotJoinedAndMissingDataShowBlack) {
    constexpr uint32_t kColumns = 4, kLines = 2;
    test::TestProduct product(kColumns, kLines, 10);
    const auto white = ConstantData(kColumns, kLines, 10, 1023);
    product.Write(1, white, 5);
    product.WriteRaw(2, {'j', 'u', 'n', 'k'});
    product.Write(3, std::vector<uint8_t>(white.begin(), white.begin() + 5), 5);  // line 0 only
    product.Write(4, white, 5);

    const ProgramResult result = Preview(product);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.err, HasSubstr("black bands stand for the segments not joined: 2, 5\n"));
    EXPECT_THAT(result.err, HasSubstr("data missing from short segments: 3\n"));
    const Picture picture = ReadPng(out);
    ASSERT_EQ(picture.height, 5 * kLines);
    // Rows from the top: segment 5, 4, 3 (line 1, then line 0), 2, 1.
    const int expectedRows[] = {0, 0, 255, 255, 0, 255, 0, 0, 255, 255};
    for (uint32_t y = 0; y < picture.height; ++y) {
        EXPECT_EQ(picture.At(0, y), expectedRows[y]) << "row " << y;
        EXPECT_EQ(picture.At(kColumns - 1, y), expectedRows[y]) << "row " << y;
    }
}

TEST_F(PreviewTest, LargeProductIsReducedByAveraging) {
    test::TestProduct product(3000, 10, 8);
    product.Write(1, ConstantData(3000, 10, 8, 255), 2);
    product.Write(2, ConstantData(3000, 10, 8, 0), 2);
    ASSERT_EQ(Preview(product).exitCode, 0);
    const Picture picture = ReadPng(out);
    // 3000 x 20 pixels shrink by 3: segment 2 (black) on top, segment 1 below.
    ASSERT_EQ(picture.width, 1000u);
    ASSERT_EQ(picture.height, 7u);
    EXPECT_EQ(picture.At(0, 0), 0);
    EXPECT_EQ(picture.At(500, 3), 170) << "one black and two white lines";
    EXPECT_EQ(picture.At(999, 6), 255);
}

}  // namespace
}  // namespace segweld
