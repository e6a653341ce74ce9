#include "tests/support/prologue_data.h"

#include <bit>

namespace segweld::test {
namespace {

// Offsets into the Level 1.5 header record that the prologue holds.
constexpr size_t kSatelliteId = 0;
constexpr size_t kTrueRepeatCycleStart = 60134;
constexpr size_t kImageProcDirection = 386979;
constexpr size_t kPlannedChanProcessing = 386981;
constexpr size_t kLevel15ImageCalibration = 387065;
constexpr size_t kMpefCalFeedback = 388224;
constexpr size_t kTypeOfEarthModel = 408144;
constexpr size_t kEquatorialRadius = 408145;
constexpr size_t kNorthPolarRadius = 408153;
constexpr size_t kSouthPolarRadius = 408161;

// Offsets into the Level 1.5 trailer record that the epilogue holds.
constexpr size_t kForwardScanStart = 5;
constexpr size_t kActualL15CoverageHrv = 309;

constexpr uint16_t kDay = 18062;  // 15 June 2007, in days since 1 January 1958

void Put(std::vector<uint8_t>& data, size_t offset, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        data[offset + i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
    }
}

void PutDouble(std::vector<uint8_t>& data, size_t offset, double value) {
    Put(data, offset, std::bit_cast<uint64_t>(value), 8);
}

void PutFloat(std::vector<uint8_t>& data, size_t offset, float value) {
    Put(data, offset, std::bit_cast<uint32_t>(value), 4);
}

}  // namespace

std::vector<uint8_t> PrologueData(const PrologueFields& fields) {
    std::vector<uint8_t> data(kPrologueDataBytes, 0);
    Put(data, kSatelliteId, fields.satelliteId, 2);
    Put(data, kTrueRepeatCycleStart, kDay, 2);
    Put(data, kTrueRepeatCycleStart + 2, 43200000, 4);
    data[kImageProcDirection] = 1;
    for (size_t i = 0; i < kCalibrationSlope.size(); ++i) {
        data[kPlannedChanProcessing + i] = fields.radianceType;
        PutDouble(data, kLevel15ImageCalibration + 16 * i, kCalibrationSlope[i]);
        PutDouble(data, kLevel15ImageCalibration + 16 * i + 8,
                  kCalibrationSlope[i] * kCalibrationOffsetCounts);
    }
    for (int id = 4; fields.gsics && id <= 11; ++id) {
        // GSICSCalCoeff and GSICSOffsetCount of the channel's MPEF record.
        PutFloat(data, kMpefCalFeedback + 32 * (id - 1) + 20, GsicsGain(id));
        PutFloat(data, kMpefCalFeedback + 32 * (id - 1) + 28,
                 static_cast<float>(kCalibrationOffsetCounts));
    }
    data[kTypeOfEarthModel] = fields.earthModelType;
    PutDouble(data, kEquatorialRadius, 6378.169);  // kilometres
    PutDouble(data, kNorthPolarRadius, 6356.5838);
    PutDouble(data, kSouthPolarRadius, 6356.5838);
    return data;
}

std::vector<uint8_t> EpilogueData(const HrvWindows& hrv) {
    std::vector<uint8_t> data(kEpilogueDataBytes, 0);
    constexpr int32_t kWindowColumns = 5568;
    constexpr int32_t kGridLines = 11136;
    Put(data, kForwardScanStart, kDay, 2);
    Put(data, kForwardScanStart + 2, 43210500, 4);
    const int32_t coverage[8] = {1,
                                 hrv.lowerNorthLine,
                                 hrv.lowerEastColumn,
                                 hrv.lowerEastColumn + kWindowColumns - 1,
                                 hrv.lowerNorthLine + 1,
                                 kGridLines,
                                 hrv.upperEastColumn,
                                 hrv.upperEastColumn + kWindowColumns - 1};
    for (size_t i = 0; i < 8; ++i) {
        Put(data, kActualL15CoverageHrv + 4 * i, static_cast<uint32_t>(coverage[i]), 4);
    }
    return data;
}

}  // namespace segweld::test
