#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace segweld::test {

// Sizes of the data fields of an MSG Level 1.5 prologue and epilogue.
inline constexpr size_t kPrologueDataBytes = 425461;
inline constexpr size_t kEpilogueDataBytes = 380325;

// The data field of an MSG prologue of real size, zero but for the fields that
// navigation needs: the spacecraft (MSG1), the repeat cycle start (15 June
// 2007, 12:00), lines processed south to north, sub-satellite longitude 0 and
// the earth model of `earthModelType` (2: georeferencing offset corrected)
// with the radii of the geostationary projection.
std::vector<uint8_t> PrologueData(uint8_t earthModelType);

}  // namespace segweld::test
