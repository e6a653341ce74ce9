#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/header_builder.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace segweld::test {

ProgramResult RunInfo(std::vector<std::string> arguments);

// Parses a program's output; a test fails on output that is not JSON.
nlohmann::ordered_json ParseJson(const std::string& text);

// Packs samples of `bitsPerPixel` bits back to back, most significant bit
// first, as image data fields hold them.
std::vector<uint8_t> PackSamples(const std::vector<uint32_t>& samples, uint32_t bitsPerPixel);

// The segment files of one product in a temporary folder, with real-shaped
// headers of a small image structure.
class TestProduct {
  public:
    explicit TestProduct(uint16_t columns = 16, uint16_t lines = 4, uint8_t bitsPerPixel = 10);

    std::string Path(int number) const;
    size_t dataBytes() const;

    SegmentShape Shape(int number, int plannedEnd) const;
    // Segment `number`: its header, then `data` (which may be shorter or
    // longer than the header announces).
    void Write(int number, const std::vector<uint8_t>& data, int plannedEnd = 8);
    void Write(int number, const SegmentShape& shape, const std::vector<uint8_t>& data);
    // Whole segments `from` to `to` with data of the announced length.
    void WriteSeries(int from, int to, int plannedEnd = 8);
    void WriteRaw(int number, const std::vector<uint8_t>& bytes);

    TempFolder folder;

  private:
    uint16_t columns_;
    uint16_t lines_;
    uint8_t bitsPerPixel_;
};

}  // namespace segweld::test
