#include "station/time_stamp.h"

#include <cstdio>

namespace segweld::station {

std::string UtcTimeStamp(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto milliseconds = floor<std::chrono::milliseconds>(when);
    const auto day = floor<days>(milliseconds);
    const year_month_day date(day);
    const hh_mm_ss time(milliseconds - day);
    char text[40];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return text;
}

std::optional<std::chrono::system_clock::time_point> ParseUtcTimeStamp(std::string_view text) {
    using namespace std::chrono;
    int year_ = 0;
    unsigned month_ = 0, day_ = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0, length = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%4d-%2u-%2uT%2d:%2d:%2d.%3dZ%n", &year_, &month_, &day_, &hour,
                    &minute, &second, &millisecond, &length) != 7 ||
        static_cast<size_t>(length) != copy.size()) {
        return std::nullopt;
    }
    const year_month_day date{year{year_}, month{month_}, day{day_}};
    if (!date.ok()) {
        return std::nullopt;
    }
    return sys_days{date} + hours{hour} + minutes{minute} + seconds{second} +
           milliseconds{millisecond};
}

std::string HumanInterval(std::chrono::nanoseconds interval) {
    const double seconds = std::chrono::duration<double>(interval).count();
    char text[40];
    if (seconds < 1) {
        std::snprintf(text, sizeof text, "%.1f ms", seconds * 1000);
    } else if (seconds < 60) {
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    } else {
        const long long whole = static_cast<long long>(seconds);
        std::snprintf(text, sizeof text, "%lld min %lld s", whole / 60, whole % 60);
    }
    return text;
}

}  // namespace segweld::station
