#include "tools/info/header_table.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>
#include <vector>

#include "tools/info/header_fields.h"
#include "tools/info/header_times.h"

namespace segweld::info {
namespace {

using Row = std::pair<std::string, std::string>;

bool IsPrintable(unsigned char byte) {
    return byte >= 0x20 && byte < 0x7F;
}

std::string ByteCode(unsigned char byte) {
    char code[8];
    std::snprintf(code, sizeof code, "\\x%02X", byte);
    return code;
}

std::string QuotedText(std::string_view bytes) {
    std::string text = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (IsPrintable(byte)) {
            text += c;
        } else {
            text += ByteCode(byte);
        }
    }
    return text + "\"";
}

std::string CharacterText(int32_t code) {
    if (code > 0 && code < 0x100 && IsPrintable(static_cast<unsigned char>(code))) {
        return "'" + std::string(1, static_cast<char>(code)) + "' (" + std::to_string(code) + ")";
    }
    return "code " + std::to_string(code);
}

// The time as a date when it is one, else "no time", beside the raw values.
std::string CalendarText(const std::tm& t) {
    char date[40] = "no time";
    if (!NominalTimeUtc(t).empty()) {
        std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                      t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    }
    char text[200];
    std::snprintf(text, sizeof text,
                  "%s (tm_year %d, tm_mon %d, tm_mday %d, tm_hour %d, tm_min %d, tm_sec %d, "
                  "tm_wday %d, tm_yday %d, tm_isdst %d)",
                  date, t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_wday,
                  t.tm_yday, t.tm_isdst);
    return text;
}

std::string DaySegmentedText(std::span<const uint8_t, 7> bytes) {
    using namespace std::chrono;
    const DaySegmentedTime time = DecodeTimeStamp(bytes);
    const uint32_t ms = time.milliseconds;
    const year_month_day date{sys_days{year{1958} / January / 1} + days{time.days}};
    char text[120];
    std::snprintf(text, sizeof text,
                  "day %u since 1958-01-01 = %04d-%02u-%02u, %u ms = %02u:%02u:%02u.%03u",
                  time.days, int{date.year()}, unsigned{date.month()}, unsigned{date.day()}, ms,
                  ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return text;
}

std::string TimeStampText(std::span<const uint8_t, 7> bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X ", byte);
        text += hex;
    }
    return text + "(" + DaySegmentedText(bytes) + ")";
}

std::string SegmentIdText(const SegmentIdValues& id) {
    const std::span<const uint32_t, 7> v = id.values;
    std::string text;
    for (const uint32_t value : v) {
        text += std::to_string(value) + " ";
    }
    if (!id.msgLayout) {
        return text + "(not the MSG layout: no plan of the product's segments)";
    }
    const std::string unfollowed = id.plan ? "" : "; no plan that segweld follows";
    return text + "(spacecraft " + std::to_string(v[0]) + ", channel " + std::to_string(v[1]) +
           ", sequence " + std::to_string(v[2]) + ", planned " + std::to_string(v[3]) + " to " +
           std::to_string(v[4]) + ", representation " + std::to_string(v[5]) + ", identifier " +
           std::to_string(v[6]) + unfollowed + ")";
}

struct FieldToText {
    std::string operator()(int64_t number) const { return std::to_string(number); }
    std::string operator()(const Text& text) const { return QuotedText(text.bytes); }
    std::string operator()(const Character& c) const {
        return CharacterText(static_cast<unsigned char>(c.value));
    }
    std::string operator()(const CharacterCode& code) const { return CharacterText(code.value); }
    std::string operator()(const std::tm& time) const { return CalendarText(time); }
    std::string operator()(const TimeStampBytes& stamp) const { return TimeStampText(stamp.bytes); }
    std::string operator()(const SegmentIdValues& id) const { return SegmentIdText(id); }
    std::string operator()(const TooLongToJoin& length) const {
        return std::to_string(length.bytes) + " bytes, too long to join";
    }
    std::string operator()(const NotDecoded&) const {
        return "absent (not decoded: the annotation is no MSG name)";
    }
};

std::string JoinTypes(const std::vector<uint32_t>& types) {
    if (types.empty()) {
        return "none";
    }
    std::string text;
    for (const uint32_t type : types) {
        text += (text.empty() ? "" : ", ") + std::to_string(type);
    }
    return text;
}

std::vector<Row> Rows(const HeaderReading& reading) {
    std::vector<Row> rows = {{"file", reading.file},
                             {"headerLength", std::to_string(reading.headerLength)}};
    if (!reading.accepted()) {
        rows.emplace_back("refusal", reading.refusal);
        return rows;
    }
    rows.emplace_back("unexpectedTypes", JoinTypes(reading.unexpectedTypes));
    for (const HeaderField& field : HeaderFields(reading.header)) {
        rows.emplace_back(std::string(field.name), std::visit(FieldToText{}, field.value));
    }
    return rows;
}

}  // namespace

std::string HeaderTable(const HeaderReading& reading) {
    const std::vector<Row> rows = Rows(reading);
    size_t width = 0;
    for (const Row& row : rows) {
        width = std::max(width, row.first.size());
    }
    std::string table;
    for (const auto& [name, value] : rows) {
        table += name + std::string(width + 2 - name.size(), ' ') + value + "\n";
    }
    return table;
}

}  // namespace segweld::info
