#include "geo/seviri_channels.h"

#include <array>

namespace segweld::geo {
namespace {

// VIS006, VIS008, IR_016, IR_039, WV_062, WV_073, IR_087, IR_097, IR_108,
// IR_120, IR_134, HRV.
constexpr std::array<SeviriChannel, 12> kChannels{{
    {1, "0.635", ChannelKind::Solar},
    {2, "0.81", ChannelKind::Solar},
    {3, "1.64", ChannelKind::Solar},
    {4, "3.92", ChannelKind::Thermal},
    {5, "6.25", ChannelKind::Thermal},
    {6, "7.35", ChannelKind::Thermal},
    {7, "8.7", ChannelKind::Thermal},
    {8, "9.66", ChannelKind::Thermal},
    {9, "10.8", ChannelKind::Thermal},
    {10, "12.0", ChannelKind::Thermal},
    {11, "13.4", ChannelKind::Thermal},
    {12, "0.7", ChannelKind::Solar},
}};

constexpr int kFirstThermal = 4;
constexpr int kThermalCount = 8;
constexpr size_t kSatellites = kLastMsgSatelliteId - kFirstMsgSatelliteId + 1;

// Central wave number, alpha and beta of IR_039 to IR_134 for MSG1 to MSG4,
// from EUMETSAT's "The Conversion from Effective Radiances to Equivalent
// Brightness Temperatures" (EUM/MET/TEN/11/0569).
constexpr std::array<std::array<ThermalCoefficients, kThermalCount>, kSatellites> kThermal{{
    {{{2567.330, 0.9956, 3.410},
      {1598.103, 0.9962, 2.218},
      {1362.081, 0.9991, 0.478},
      {1149.069, 0.9996, 0.179},
      {1034.343, 0.9999, 0.060},
      {930.647, 0.9983, 0.625},
      {839.660, 0.9988, 0.397},
      {752.387, 0.9981, 0.578}}},
    {{{2568.832, 0.9954, 3.438},
      {1600.548, 0.9963, 2.185},
      {1360.330, 0.9991, 0.470},
      {1148.620, 0.9996, 0.179},
      {1035.289, 0.9999, 0.056},
      {931.700, 0.9983, 0.640},
      {836.445, 0.9988, 0.408},
      {751.792, 0.9981, 0.561}}},
    {{{2547.771, 0.9915, 2.9002},
      {1595.621, 0.9960, 2.0337},
      {1360.337, 0.9991, 0.4340},
      {1148.130, 0.9996, 0.1714},
      {1034.715, 0.9999, 0.0527},
      {929.842, 0.9983, 0.6084},
      {838.659, 0.9988, 0.3882},
      {750.653, 0.9982, 0.5390}}},
    {{{2555.280, 0.9916, 2.9438},
      {1596.080, 0.9959, 2.0780},
      {1361.748, 0.9990, 0.4929},
      {1147.433, 0.9996, 0.1731},
      {1034.851, 0.9998, 0.0597},
      {931.122, 0.9983, 0.6256},
      {839.113, 0.9988, 0.4002},
      {748.585, 0.9981, 0.5635}}},
}};

// The quadratic fits of IR_039 to IR_134 for data in spectral radiance, from
// EUMETSAT's "Radiometric Calibration of MSG SEVIRI Level 1.5 Image Data in
// Equivalent Spectral Blackbody Radiance" (EUM/OPS-MSG/TEN/03/0064).
constexpr std::array<SpectralFit, kThermalCount> kSpectralFits{{
    {0.0, 1.011751900, -3.550400},
    {0.00001805700, 1.000255533, -1.790930},
    {0.00000231818, 1.000668281, -0.456166},
    {-0.00002332000, 1.011803400, -1.507390},
    {-0.00002055330, 1.009370670, -1.030600},
    {-0.00007392770, 1.032889800, -3.296740},
    {-0.00007009840, 1.031314600, -3.181090},
    {-0.00007293450, 1.030424800, -2.645950},
}};

// Solar irradiance of VIS006, VIS008, IR_016 and HRV for MSG1 to MSG4, from
// EUMETSAT's "Conversion from radiances to reflectances for SEVIRI warm
// channels" (EUM/MET/TEN/12/0332).
constexpr std::array<std::array<double, 4>, kSatellites> kSolarIrradiance{{
    {65.2296, 73.0127, 62.3715, 78.7599},
    {65.2065, 73.1869, 61.9923, 79.0113},
    {65.5148, 73.1807, 62.0208, 78.9416},
    {65.2656, 73.1692, 61.9416, 79.0035},
}};

bool IsMsg(uint16_t satelliteId) {
    return satelliteId >= kFirstMsgSatelliteId && satelliteId <= kLastMsgSatelliteId;
}

bool IsThermal(int channelId) {
    return channelId >= kFirstThermal && channelId < kFirstThermal + kThermalCount;
}

}  // namespace

std::optional<SeviriChannel> ChannelById(int id) {
    if (id < 1 || id > static_cast<int>(kChannels.size())) {
        return std::nullopt;
    }
    return kChannels[static_cast<size_t>(id - 1)];
}

std::string PlatformName(uint16_t satelliteId) {
    if (!IsMsg(satelliteId)) {
        return "";
    }
    return "Meteosat-" + std::to_string(satelliteId - kFirstMsgSatelliteId + 8);
}

std::optional<ThermalCoefficients> ThermalCoefficientsOf(uint16_t satelliteId, int channelId) {
    if (!IsMsg(satelliteId) || !IsThermal(channelId)) {
        return std::nullopt;
    }
    return kThermal[satelliteId - kFirstMsgSatelliteId]
                   [static_cast<size_t>(channelId - kFirstThermal)];
}

std::optional<SpectralFit> SpectralFitOf(int channelId) {
    if (!IsThermal(channelId)) {
        return std::nullopt;
    }
    return kSpectralFits[static_cast<size_t>(channelId - kFirstThermal)];
}

std::optional<double> SolarIrradianceOf(uint16_t satelliteId, int channelId) {
    constexpr std::array<int, 4> kSolarIds{1, 2, 3, 12};
    if (!IsMsg(satelliteId)) {
        return std::nullopt;
    }
    for (size_t i = 0; i < kSolarIds.size(); ++i) {
        if (kSolarIds[i] == channelId) {
            return kSolarIrradiance[satelliteId - kFirstMsgSatelliteId][i];
        }
    }
    return std::nullopt;
}

}  // namespace segweld::geo
