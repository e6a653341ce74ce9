#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace segweld::geo {

// A time in CCSDS day segmented form: days since 1 January 1958 and
// milliseconds of the day, UTC.
struct CdsTime {
    uint16_t days = 0;
    uint32_t milliseconds = 0;

    bool empty() const { return days == 0 && milliseconds == 0; }
    // Seconds since 1 January 1970, UTC.
    double UnixSeconds() const;
};

inline constexpr int kChannelCount = 12;

// What the prologue's MSG Level 1.5 header says that the GeoTIFF needs.
struct Level15Prologue {
    uint16_t satelliteId = 0;  // 321 to 324: MSG1 to MSG4
    CdsTime repeatCycleStart;
    // Whether the data's georeferencing offset was corrected (type 2).
    uint8_t earthModelType = 0;
    // Per spectral channel (id - 1): how its radiances are defined, 1
    // spectral or 2 effective; the linear calibration of counts to radiance
    // (mW m-2 sr-1 (cm-1)-1).
    std::array<uint8_t, kChannelCount> radianceType{};
    std::array<double, kChannelCount> calibrationSlope{};
    std::array<double, kChannelCount> calibrationOffset{};
    // The GSICS re-calibration, per channel: radiance = gain * (count +
    // offset count); zero for channels without one.
    std::array<float, kChannelCount> gsicsGain{};
    std::array<float, kChannelCount> gsicsOffsetCount{};
};

// The HRV image's actual coverage in the full-disk HRV grid: lines counted
// from 1 in the south, columns from 1 in the east.
struct HrvCoverage {
    int32_t lowerSouthLine = 0;
    int32_t lowerNorthLine = 0;
    int32_t lowerEastColumn = 0;
    int32_t lowerWestColumn = 0;
    int32_t upperSouthLine = 0;
    int32_t upperNorthLine = 0;
    int32_t upperEastColumn = 0;
    int32_t upperWestColumn = 0;
};

// What the epilogue's MSG Level 1.5 trailer says that the GeoTIFF needs.
struct Level15Epilogue {
    CdsTime forwardScanStart;
    CdsTime forwardScanEnd;
    HrvCoverage hrv;
};

template <typename Record>
struct Level15Reading {
    std::optional<Record> record;
    std::string path;     // the file found, even when it could not be read
    std::string problem;  // why there is no record, for people
};
using PrologueReading = Level15Reading<Level15Prologue>;
using EpilogueReading = Level15Reading<Level15Epilogue>;

// The product a prologue or epilogue must belong to, as its segments' headers
// name it; a member left unknown is not compared.
struct ProductIdentity {
    std::tm nominalTime{};      // the time slot, to the minute; tm_mday 0: unknown
    std::string satellite;      // the dissemination name's source ("MSG2"); empty: unknown
    uint16_t spacecraftId = 0;  // the segment identification's (322); 0: unknown
};

// The prologue or epilogue of the product that `segmentPath` belongs to, in
// its folder (FindCompanion). Only a file of the right file type whose data
// field holds a whole MSG Level 1.5 header (trailer) of an MSG satellite is
// read, and only when its own header names the product's time slot and
// satellite (and, for a prologue, its Level 1.5 header the segments'
// spacecraft); anything else gives a problem that names the file and says
// why. A file of another product counts as none: its path is not given.
PrologueReading ReadPrologue(const std::string& segmentPath, const ProductIdentity& product);
EpilogueReading ReadEpilogue(const std::string& segmentPath, const ProductIdentity& product);

}  // namespace segweld::geo
