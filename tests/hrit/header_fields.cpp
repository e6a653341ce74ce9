#include "tests/hrit/header_fields.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <type_traits>

namespace segweld::test {
namespace {

template <typename T>
std::string Text(const T& value) {
    if constexpr (std::is_same_v<T, char>) {
        return value == 0 ? "" : std::string(1, value);
    } else if constexpr (std::is_same_v<std::remove_extent_t<T>, char>) {
        return value;
    } else if constexpr (std::is_array_v<T>) {
        std::string text;
        for (const auto element : value) {
            text += (text.empty() ? "" : " ") + std::to_string(element);
        }
        return text;
    } else {
        return std::to_string(value);
    }
}

std::map<std::string, std::string> Fields(const HritHeader& h) {
    const std::tm& t = h.nominalTime;
    std::map<std::string, std::string> fields{{"dataFieldBytes", Text(DataFieldBytes(h))}};
#define F(object, name) fields[#name] = Text(object.name)
    F(h, hdrType), F(h, recLength), F(h, fileTypeCode), F(h, totalHeaderLength), F(h, dataLength),
        F(h, dataFieldLengthHigh), F(h, dataFieldLengthLow), F(h, bitsPerPixel), F(h, columns),
        F(h, lines), F(h, compressionFlag), F(h, compressionKind), F(h, projectionName), F(h, cfac),
        F(h, lfac), F(h, coff), F(h, loff), F(h, annotation), F(h, hritOrLrit), F(h, formatVersion),
        F(h, disseminationId), F(h, sourceName), F(h, sourceClass), F(h, hemisphere), F(h, channel),
        F(h, channelCode), F(h, segmentKind), F(h, segmentNumber), F(h, timeText),
        F(h, compressedMark), F(h, encryptedMark), F(h, shortName), F(h, label), F(h, timeLabel),
        F(h, timeStamp), F(h, segmentId), F(t, tm_year), F(t, tm_mon), F(t, tm_mday), F(t, tm_hour),
        F(t, tm_min), F(t, tm_sec), F(t, tm_wday), F(t, tm_yday);
#undef F
    return fields;
}

}  // namespace

void ExpectFields(const HritHeader& header, const std::string& expected) {
    const auto fields = Fields(header);
    std::istringstream pairs(expected);
    for (std::string pair; std::getline(pairs, pair, ';');) {
        const size_t equals = pair.find('=');
        const auto field = fields.find(pair.substr(0, equals));
        ASSERT_NE(field, fields.end()) << "no field " << pair;
        EXPECT_EQ(field->second, pair.substr(equals + 1)) << pair.substr(0, equals);
    }
}

}  // namespace segweld::test
