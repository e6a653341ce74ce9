#include "tests/support/prologue_data.h"

#include <bit>

namespace segweld::test {
namespace {

// Offsets into the Level 1.5 header record that the prologue holds.
constexpr size_t kSatelliteId = 0;
constexpr size_t kTrueRepeatCycleStart = 60134;
constexpr size_t kImageProcDirection = 386979;
constexpr size_t kTypeOfEarthModel = 408144;
constexpr size_t kEquatorialRadius = 408145;
constexpr size_t kNorthPolarRadius = 408153;
constexpr size_t kSouthPolarRadius = 408161;

void Put(std::vector<uint8_t>& data, size_t offset, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        data[offset + i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
    }
}

}  // namespace

std::vector<uint8_t> PrologueData(uint8_t earthModelType) {
    std::vector<uint8_t> data(kPrologueDataBytes, 0);
    Put(data, kSatelliteId, 321, 2);
    Put(data, kTrueRepeatCycleStart, 18062, 2);  // days since 1 January 1958
    Put(data, kTrueRepeatCycleStart + 2, 43200000, 4);
    data[kImageProcDirection] = 1;
    data[kTypeOfEarthModel] = earthModelType;
    Put(data, kEquatorialRadius, std::bit_cast<uint64_t>(6378.169), 8);  // kilometres
    Put(data, kNorthPolarRadius, std::bit_cast<uint64_t>(6356.5838), 8);
    Put(data, kSouthPolarRadius, std::bit_cast<uint64_t>(6356.5838), 8);
    return data;
}

}  // namespace segweld::test
