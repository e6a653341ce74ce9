#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/bytes.h"
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
        : shape_{.columns = columns, .lines = lines, .bitsPerPixel = bitsPerPixel} {}

    std::string Path(int number) const { return folder / SegmentFileName(number); }
    size_t dataBytes() const { return (DataFieldBits(shape_) + 7) / 8; }

    SegmentShape Shape(int number, int plannedEnd) const {
        SegmentShape shape = shape_;
        shape.annotation = SegmentFileName(number);
        shape.sequence = static_cast<uint16_t>(number);
        shape.plannedEnd = static_cast<uint16_t>(plannedEnd);
        return shape;
    }
    // Segment `number`: its header, then `data` (which may be shorter or
    // longer than the header announces).
    void Write(int number, const std::vector<uint8_t>& data, int plannedEnd = 8) {
        Write(number, Shape(number, plannedEnd), data);
    }
    void Write(int number, const SegmentShape& shape, const std::vector<uint8_t>& data) {
        WriteRaw(number, Concat({RealSegmentHeader(shape), data}));
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
    SegmentShape shape_;  // of every segment, but for its number and plan
};

}  // namespace segweld::test
