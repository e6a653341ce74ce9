#include "join/dissemination_name.h"

#include <algorithm>

#include "unpack/compression.h"

namespace segweld {
namespace {

struct FieldSpan {
    size_t start;
    size_t width;
};

// Where each of the eight fields lies; a '-' follows every field but the last.
constexpr std::array<FieldSpan, 8> kFields{
    {{0, 1}, {2, 3}, {6, 6}, {13, 12}, {26, 9}, {36, 9}, {46, 12}, {59, 2}}};
constexpr size_t kNumberDigits = 6;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

FieldSpan SpanOf(DisseminationName::Field field) {
    return kFields[static_cast<size_t>(field)];
}

bool HasSeparators(std::string_view name) {
    for (size_t i = 0; i + 1 < kFields.size(); ++i) {
        if (name[kFields[i].start + kFields[i].width] != '-') {
            return false;
        }
    }
    return true;
}

// Letters, digits and '_' only: no '-', '.', blank or control character may
// stand inside a field.
bool HasPlainFields(std::string_view name) {
    for (const FieldSpan span : kFields) {
        for (const char c : name.substr(span.start, span.width)) {
            const bool plain =
                IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
            if (!plain) {
                return false;
            }
        }
    }
    return true;
}

bool IsSegmentField(std::string_view field) {
    return std::all_of(field.begin(), field.begin() + kNumberDigits, IsDigit) &&
           std::all_of(field.begin() + kNumberDigits, field.end(), [](char c) { return c == '_'; });
}

int32_t NumberOf(std::string_view digits) {
    int32_t number = 0;
    for (const char c : digits) {
        number = number * 10 + (c - '0');
    }
    return number;
}

}  // namespace

DisseminationName::DisseminationName(std::string_view name) : name_(name) {
    const std::string_view segment = field(Field::Segment);
    if (IsSegmentField(segment)) {
        kind_ = Kind::Segment;
        segmentNumber_ = NumberOf(segment.substr(0, kNumberDigits));
    } else if (segment == "PRO______") {
        kind_ = Kind::Prologue;
    } else if (segment == "EPI______") {
        kind_ = Kind::Epilogue;
    }
}

std::optional<DisseminationName> DisseminationName::Parse(std::string_view name) {
    if (name.size() != kLength || !HasSeparators(name) || !HasPlainFields(name)) {
        return std::nullopt;
    }
    return DisseminationName(name);
}

std::string_view DisseminationName::field(Field which) const {
    const FieldSpan span = SpanOf(which);
    return std::string_view(name_).substr(span.start, span.width);
}

std::string DisseminationName::With(Field which, std::string_view value) const {
    const FieldSpan span = SpanOf(which);
    std::string padded(value.substr(0, span.width));
    padded.resize(span.width, '_');
    std::string result = name_;
    result.replace(span.start, span.width, padded);
    return result;
}

std::string DisseminationName::Masked() const {
    std::string masked = name_;
    if (kind_ == Kind::Segment) {
        masked.replace(SpanOf(Field::Segment).start, kNumberDigits, kNumberDigits, '?');
    }
    return masked;
}

std::string DisseminationName::MaskedFields(std::initializer_list<Field> fields) const {
    std::string masked = name_;
    for (const Field which : fields) {
        const FieldSpan span = SpanOf(which);
        masked.replace(span.start, span.width, span.width, '?');
    }
    return masked;
}

int32_t SegmentNumberInName(std::string_view name) {
    const auto parsed = DisseminationName::Parse(unpack::WithoutCompressionSuffix(name));
    return parsed ? parsed->segmentNumber() : -1;
}

std::string MaskedName(std::string_view name) {
    const auto parsed = DisseminationName::Parse(unpack::WithoutCompressionSuffix(name));
    return parsed ? parsed->Masked() : std::string(name);
}

}  // namespace segweld
