#include "tools/info/header_json.h"

#include <string>

#include "tools/info/header_fields.h"
#include "tools/info/header_times.h"

namespace segweld::info {
namespace {

Json CalendarJson(const std::tm& time) {
    return Json{{"tm_sec", time.tm_sec},   {"tm_min", time.tm_min},   {"tm_hour", time.tm_hour},
                {"tm_mday", time.tm_mday}, {"tm_mon", time.tm_mon},   {"tm_year", time.tm_year},
                {"tm_wday", time.tm_wday}, {"tm_yday", time.tm_yday}, {"tm_isdst", time.tm_isdst}};
}

template <typename Number, size_t N>
Json NumberArray(std::span<const Number, N> numbers) {
    Json array = Json::array();
    for (const Number number : numbers) {
        array.push_back(number);
    }
    return array;
}

struct FieldToJson {
    Json operator()(int64_t number) const { return number; }
    Json operator()(const Text& text) const { return Latin1Text(text.bytes); }
    Json operator()(const Character& c) const {
        return c.value == 0 ? Json("") : Latin1Text(std::string_view(&c.value, 1));
    }
    // A character held in a number is a string as every other character is.
    Json operator()(const CharacterCode& code) const {
        const bool character = code.value > 0 && code.value < 0x100;
        const char c = static_cast<char>(code.value);
        return character ? Latin1Text(std::string_view(&c, 1)) : Json("");
    }
    Json operator()(const std::tm& time) const { return CalendarJson(time); }
    Json operator()(const TimeStampBytes& stamp) const { return NumberArray(stamp.bytes); }
    Json operator()(const SegmentIdValues& id) const { return NumberArray(id.values); }
    Json operator()(const TooLongToJoin& length) const { return length.bytes; }
    Json operator()(const NotDecoded&) const { return nullptr; }
};

Json TextOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

// The decoded form that stands beside a raw field, for programs that would
// otherwise decode it again: times as ISO 8601 UTC, the segment
// identification under labelled keys. Nothing for the other fields.
struct Companion {
    std::string_view field;
    void operator()(Json& object, const std::tm& time) const {
        object[std::string(field) + "Utc"] = TextOrNull(NominalTimeUtc(time));
    }
    void operator()(Json& object, const TimeStampBytes& stamp) const {
        object[std::string(field) + "Utc"] = TextOrNull(TimeStampUtc(stamp.bytes));
    }
    // Labelled in the MSG layout only, whose fields are known; the plan is
    // the one segweld follows.
    void operator()(Json& object, const SegmentIdValues& id) const {
        const char* labels[] = {"spacecraft", "channel",        "sequenceNumber", "plannedStart",
                                "plannedEnd", "representation", "imageId"};
        Json labelled = Json::object();
        for (size_t i = 0; i < id.values.size(); ++i) {
            labelled[labels[i]] = id.values[i];
        }
        object["segmentIdentification"] = id.msgLayout ? labelled : Json(nullptr);
        object["segmentPlan"] =
            id.plan ? Json{{"start", id.plan->start}, {"end", id.plan->end}} : Json(nullptr);
    }
    void operator()(Json& object, const NotDecoded&) const {
        if (field == "nominalTime") {
            object["nominalTimeUtc"] = nullptr;
        }
    }
    void operator()(Json&, const auto&) const {}
};

}  // namespace

Json HeaderJson(const HritHeader& header) {
    Json object = Json::object();
    for (const HeaderField& field : HeaderFields(header)) {
        object[std::string(field.name)] = std::visit(FieldToJson{}, field.value);
        std::visit([&](const auto& value) { Companion{field.name}(object, value); }, field.value);
    }
    return object;
}

Json HeaderReadingJson(const HeaderReading& reading) {
    Json object{
        {"schema", kJsonSchema}, {"file", reading.file}, {"headerLength", reading.headerLength}};
    if (!reading.accepted()) {
        object["refusal"] = reading.refusal;
        return object;
    }
    object["unexpectedTypes"] = reading.unexpectedTypes;
    object["header"] = HeaderJson(reading.header);
    return object;
}

}  // namespace segweld::info
