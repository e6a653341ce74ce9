#include "tests/tools/info_test_product.h"

#include <gtest/gtest.h>

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

}  // namespace segweld::test
