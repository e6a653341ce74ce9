#include "tools/info/header_times.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace segweld::info {
namespace {

constexpr uint32_t kMillisecondsOfADay = 86400000;

std::string IsoTime(std::chrono::year_month_day date, uint32_t milliseconds, bool withFraction) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02u:%02u:%02u", int{date.year()},
                  unsigned{date.month()}, unsigned{date.day()}, milliseconds / 3600000,
                  milliseconds / 60000 % 60, milliseconds / 1000 % 60);
    std::string iso = text;
    if (withFraction) {
        std::snprintf(text, sizeof text, ".%03u", milliseconds % 1000);
        iso += text;
    }
    return iso + "Z";
}

}  // namespace

DaySegmentedTime DecodeTimeStamp(std::span<const uint8_t, 7> b) {
    return {unsigned{b[1]} << 8 | b[2],
            uint32_t{b[3]} << 24 | uint32_t{b[4]} << 16 | uint32_t{b[5]} << 8 | b[6]};
}

std::string TimeStampUtc(std::span<const uint8_t, 7> bytes) {
    using namespace std::chrono;
    const DaySegmentedTime time = DecodeTimeStamp(bytes);
    const bool none = std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
    if (none || time.milliseconds >= kMillisecondsOfADay) {
        return "";
    }
    const year_month_day date{sys_days{year{1958} / January / 1} + days{time.days}};
    return IsoTime(date, time.milliseconds, true);
}

std::string NominalTimeUtc(const std::tm& t) {
    using namespace std::chrono;
    const bool inRange = t.tm_year >= -1900 && t.tm_year <= 9999 - 1900 && t.tm_mon >= 0 &&
                         t.tm_mon < 12 && t.tm_mday > 0 && t.tm_mday <= 31 && t.tm_hour >= 0 &&
                         t.tm_hour < 24 && t.tm_min >= 0 && t.tm_min < 60 && t.tm_sec >= 0 &&
                         t.tm_sec < 60;
    if (!inRange) {
        return "";
    }
    const year_month_day date{year{t.tm_year + 1900}, month(static_cast<unsigned>(t.tm_mon + 1)),
                              day(static_cast<unsigned>(t.tm_mday))};
    if (!date.ok()) {
        return "";
    }
    const auto seconds = static_cast<uint32_t>(t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec);
    return IsoTime(date, seconds * 1000, false);
}

}  // namespace segweld::info
