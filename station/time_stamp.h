#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace segweld::station {

// "2026-12-06T21:30:05.123Z": the time in UTC, to the millisecond.
std::string UtcTimeStamp(std::chrono::system_clock::time_point when);
// The time that UtcTimeStamp wrote; nullopt for other text.
std::optional<std::chrono::system_clock::time_point> ParseUtcTimeStamp(std::string_view text);

// "0.8 ms", "12.3 ms", "4.2 s", "15 min 3 s".
std::string HumanInterval(std::chrono::nanoseconds interval);

}  // namespace segweld::station
