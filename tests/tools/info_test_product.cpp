#include "tests/tools/info_test_product.h"

#include <gtest/gtest.h>

#include "tests/support/product_files.h"

namespace segweld::test {

ProgramResult RunInfo(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), SEGWELD_INFO_BIN);
    return RunProgram(arguments);
}

nlohmann::ordered_json ParseJson(const std::string& text) {
    try {
        return nlohmann::ordered_json::parse(text);
    } catch (const nlohmann::json::exception& error) {
        ADD_FAILURE() << "not JSON: " << error.what() << "\n" << text;
        return nullptr;
    }
}

std::vector<uint8_t> PackSamples(const std::vector<uint32_t>& samples, uint32_t bitsPerPixel) {
    std::vector<uint8_t> bytes((samples.size() * bitsPerPixel + 7) / 8, 0);
    size_t bit = 0;
    for (const uint32_t sample : samples) {
        for (uint32_t i = bitsPerPixel; i-- > 0; ++bit) {
            if ((sample >> i) & 1) {
                bytes[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
            }
        }
    }
    return bytes;
}

TestProduct::TestProduct(uint16_t columns, uint16_t lines, uint8_t bitsPerPixel)
    : columns_(columns), lines_(lines), bitsPerPixel_(bitsPerPixel) {}

std::string TestProduct::Path(int number) const {
    return folder / SegmentFileName(number);
}

size_t TestProduct::dataBytes() const {
    return (size_t{columns_} * lines_ * bitsPerPixel_ + 7) / 8;
}

SegmentShape TestProduct::Shape(int number, int plannedEnd) const {
    SegmentShape shape;
    shape.annotation = SegmentFileName(number);
    shape.columns = columns_;
    shape.lines = lines_;
    shape.bitsPerPixel = bitsPerPixel_;
    shape.sequence = static_cast<uint16_t>(number);
    shape.plannedEnd = static_cast<uint16_t>(plannedEnd);
    return shape;
}

void TestProduct::Write(int number, const std::vector<uint8_t>& data, int plannedEnd) {
    Write(number, Shape(number, plannedEnd), data);
}

void TestProduct::Write(int number, const SegmentShape& shape, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes = RealSegmentHeader(shape);
    bytes.insert(bytes.end(), data.begin(), data.end());
    WriteRaw(number, bytes);
}

void TestProduct::WriteSeries(int from, int to, int plannedEnd) {
    for (int number = from; number <= to; ++number) {
        Write(number, DistinctData(number, dataBytes()), plannedEnd);
    }
}

void TestProduct::WriteRaw(int number, const std::vector<uint8_t>& bytes) {
    WriteFile(Path(number), bytes);
}

}  // namespace segweld::test
