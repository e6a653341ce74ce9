#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "hrit/hrit_header.h"

namespace segweld::info {

// The kinds of value a header field holds, as the dump shows them.
struct Text {
    std::string_view bytes;  // without the terminator
};
struct Character {
    char value;  // 0 when unset
};
struct CharacterCode {
    int32_t value;  // a character held in a number
};
struct TimeStampBytes {
    std::span<const uint8_t, 7> bytes;
};
struct SegmentIdValues {
    std::span<const uint32_t, 7> values;
};
// A data field length that does not fit the 32 bits the join takes.
struct TooLongToJoin {
    uint64_t bytes;
};

using FieldValue = std::variant<int64_t, Text, Character, CharacterCode, std::tm, TimeStampBytes,
                                SegmentIdValues, TooLongToJoin>;

struct HeaderField {
    std::string_view name;
    FieldValue value;
};

// Every field of `header`, named and in the order of HritHeader. The values
// refer to `header`, which must outlive them.
std::vector<HeaderField> HeaderFields(const HritHeader& header);

}  // namespace segweld::info
