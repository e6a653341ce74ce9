#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/header_builder.h"
#include "tests/support/product_files.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace segweld::test {

inline ProgramResult RunInfo(std::vector<std::string> arguments) {
    return RunProgram(SEGWELD_INFO_BIN, std::move(arguments));
}

// The segment files of one product in a temporary folder, with real-shaped
// headers of a small image structure.
class TestProduct {
  public:
    explicit TestProduct(uint16_t columns = 16, uint16_t lines = 4, uint8_t bitsPerPixel = 10)
        : columns_(columns), lines_(lines), bitsPerPixel_(bitsPerPixel) {}

    std::string Path(int number) const { return folder / SegmentFileName(number); }
    size_t dataBytes() const { return (size_t{columns_} * lines_ * bitsPerPixel_ + 7) / 8; }

    SegmentShape Shape(int number, int plannedEnd) const {
        return {.annotation = SegmentFileName(number),
                .columns = columns_,
                .lines = lines_,
                .bitsPerPixel = bitsPerPixel_,
                .sequence = static_cast<uint16_t>(number),
                .plannedEnd = static_cast<uint16_t>(plannedEnd)};
    }
    // Segment `number`: its header, then `data` (which may be shorter or
    // longer than the header announces).
    void Write(int number, const std::vector<uint8_t>& data, int plannedEnd = 8) {
        Write(number, Shape(number, plannedEnd), data);
    }
    void Write(int number, const SegmentShape& shape, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> bytes = RealSegmentHeader(shape);
        bytes.insert(bytes.end(), data.begin(), data.end());
        WriteRaw(number, bytes);
    }
    // Whole segments `from` to `to` with data of the announced length.
    void WriteSeries(int from, int to, int plannedEnd = 8) {
        for (int number = from; number <= to; ++number) {
            Write(number, DistinctData(number, dataBytes()), plannedEnd);
        }
    }
    void WriteRaw(int number, const std::vector<uint8_t>& bytes) { WriteFile(Path(number), bytes); }

    TempFolder folder;

  private:
    uint16_t columns_;
    uint16_t lines_;
    uint8_t bitsPerPixel_;
};

}  // namespace segweld::test
