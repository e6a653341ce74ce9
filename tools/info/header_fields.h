#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "hrit/hrit_header.h"
#include "join/segment_plan.h"

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
    bool msgLayout = false;           // decoded in the MSG layout, whose fields are known
    std::optional<SegmentPlan> plan;  // the plan segweld follows (PlanOf); nullopt for none
};
// A field that the annotation gives, in a header whose annotation is not an
// MSG name and so is not decoded.
struct NotDecoded {};
// A data field length that does not fit the 32 bits the join takes.
struct TooLongToJoin {
    uint64_t bytes;
};

using FieldValue = std::variant<int64_t, Text, Character, CharacterCode, std::tm, TimeStampBytes,
                                SegmentIdValues, TooLongToJoin, NotDecoded>;

struct HeaderField {
    std::string_view name;
    FieldValue value;
};

// Every field of `header`, named and in the order of HritHeader. The values
// refer to `header`, which must outlive them. The fields of the annotation are
// NotDecoded where it was not decoded, rather than the zeros the walk left.
std::vector<HeaderField> HeaderFields(const HritHeader& header);

// True when the header's annotation was decoded: it is an MSG name.
bool AnnotationDecoded(const HritHeader& header);

}  // namespace segweld::info
