#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace segweld::test {

// Sizes of the data fields of an MSG Level 1.5 prologue and epilogue.
inline constexpr size_t kPrologueDataBytes = 425461;
inline constexpr size_t kEpilogueDataBytes = 380325;

// The Level 1.5 calibration that PrologueData writes for spectral channels
// 1 to 12 (index id - 1): radiance = slope * count + offset, in
// mW m-2 sr-1 (cm-1)-1, as an MSG prologue of 2010 gives them.
inline constexpr std::array<double, 12> kCalibrationSlope{
    0.0204191,  0.0261677,  0.0223222,  0.00365867, 0.00831811, 0.03862197,
    0.12674432, 0.10396091, 0.20503568, 0.22231115, 0.1576069,  0.0299341};
inline constexpr double kCalibrationOffsetCounts = -51.0;  // offset = slope * this

// What a prologue's Level 1.5 header says of the product.
struct PrologueFields {
    // 2: the georeferencing offset is corrected; 1: it is still in the data.
    uint8_t earthModelType = 2;
    uint16_t satelliteId = 321;  // MSG1
    // Radiance type of every channel: 2 effective, 1 spectral.
    uint8_t radianceType = 2;
    // GSICS coefficients for the thermal channels (ids 4 to 11), as newer
    // prologues carry them: gain GsicsGain(id), offset count
    // kCalibrationOffsetCounts; zero without.
    bool gsics = false;
};

// The GSICS gain that PrologueData writes for channel `id` (as float32).
inline float GsicsGain(int id) {
    return static_cast<float>(kCalibrationSlope[id - 1] * 1.01);
}

// The data field of an MSG prologue of real size, zero but for the fields that
// navigation and calibration need: the spacecraft, the repeat cycle start (15
// June 2007, 12:00), lines processed south to north, the earth model with the
// radii of the geostationary projection, each channel's radiance type and
// the calibration above.
std::vector<uint8_t> PrologueData(const PrologueFields& fields = {});

// The HRV image's actual coverage: the lower window's northernmost line and
// each window's easternmost column, in the full-disk HRV grid.
struct HrvWindows {
    int32_t lowerNorthLine = 8128;
    int32_t lowerEastColumn = 1413;
    int32_t upperEastColumn = 1855;
};

// The data field of an MSG epilogue of real size, zero but for the forward
// scan's start (15 June 2007, 12:00:10.5) and the HRV coverage.
std::vector<uint8_t> EpilogueData(const HrvWindows& hrv = {});

}  // namespace segweld::test
