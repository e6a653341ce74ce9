#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>

namespace segweld::info {

// The day-segmented time code of the time stamp record, after its P field:
// days since 1 January 1958 in bytes 1 and 2, milliseconds of the day in
// bytes 3 to 6.
struct DaySegmentedTime {
    unsigned days = 0;
    uint32_t milliseconds = 0;
};
DaySegmentedTime DecodeTimeStamp(std::span<const uint8_t, 7> bytes);

// "2007-06-15T12:12:00.000Z"; empty when the header has no time stamp (all
// seven bytes zero) or its milliseconds exceed a day.
std::string TimeStampUtc(std::span<const uint8_t, 7> bytes);

// "2007-06-15T12:00:00Z"; empty when the members are no calendar time (a
// header without an annotation time has day 0).
std::string NominalTimeUtc(const std::tm& time);

}  // namespace segweld::info
