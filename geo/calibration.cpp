#include "geo/calibration.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace segweld::geo {
namespace {

// The radiation constants of Planck's law for radiances in
// mW m-2 sr-1 (cm-1)-1 and wave numbers in cm-1.
constexpr double kC1 = 1.19104273e-5;
constexpr double kC2 = 1.43877523;

// Radiance types of the prologue's planned channel processing.
constexpr uint8_t kSpectralRadiance = 1;
constexpr uint8_t kEffectiveRadiance = 2;

// The Earth's orbit as the reference readers model it: days since 1 January
// 2000, 12:00 UTC; perihelion on day 3; an anomalistic year; eccentricity.
constexpr double kJ2000UnixSeconds = 946728000.0;
constexpr double kPerihelionDay = 3.0;
constexpr double kYearDays = 365.25636;
constexpr double kEccentricity = 0.0167;

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// The radiance of `count`, computed in single precision as the pixels are
// stored, so that it is the same float that numpy's float32 arithmetic gives.
// This file is built without contraction into fused multiply-adds.
float Radiance(uint32_t count, float slope, float offset) {
    if (count == 0) {
        return kNoValue;
    }
    const float scaled = static_cast<float>(count) * slope;
    const float radiance = scaled + offset;
    return radiance < 0.0f ? 0.0f : radiance;
}

// The temperature of a black body that emits `radiance` at `waveNumber`
// (0 for no radiance, as the inverse Planck function's limit).
double PlanckTemperature(double radiance, double waveNumber) {
    return kC2 * waveNumber / std::log(kC1 * std::pow(waveNumber, 3) / radiance + 1.0);
}

// Maps each radiance of `table` in place; NaN stays NaN.
template <typename Map>
void MapRadiances(std::vector<float>& table, Map map) {
    for (float& value : table) {
        if (!std::isnan(value)) {
            value = static_cast<float>(map(static_cast<double>(value)));
        }
    }
}

bool BrightnessTemperatures(std::vector<float>& table, const SeviriChannel& channel,
                            const std::string& name, const Level15Prologue& prologue,
                            std::string& problem) {
    const uint8_t type = prologue.radianceType[static_cast<size_t>(channel.id - 1)];
    const ThermalCoefficients c = *ThermalCoefficientsOf(prologue.satelliteId, channel.id);
    if (type == kEffectiveRadiance) {
        MapRadiances(table, [c](double radiance) {
            return (PlanckTemperature(radiance, c.waveNumber) - c.beta) / c.alpha;
        });
    } else if (type == kSpectralRadiance) {
        const SpectralFit fit = *SpectralFitOf(channel.id);
        MapRadiances(table, [c, fit](double radiance) {
            const double t = PlanckTemperature(radiance, c.waveNumber);
            return fit.a * t * t + fit.b * t + fit.c;
        });
    } else {
        problem = std::string("the prologue gives radiance type ") + std::to_string(type) +
                  " for " + name + ", neither 1 (spectral) nor 2 (effective)";
        return false;
    }
    return true;
}

}  // namespace

const char* QuantityUnit(Quantity quantity) {
    switch (quantity) {
        case Quantity::Counts:
            return "count";
        case Quantity::Radiance:
            return "mW m-2 sr-1 (cm-1)-1";
        case Quantity::Reflectance:
            return "%";
        case Quantity::BrightnessTemperature:
            break;
    }
    return "K";
}

Quantity DefaultQuantity(const SeviriChannel& channel) {
    return channel.kind == ChannelKind::Solar ? Quantity::Reflectance
                                              : Quantity::BrightnessTemperature;
}

bool HasQuantity(const SeviriChannel& channel, Quantity quantity) {
    switch (quantity) {
        case Quantity::Counts:
        case Quantity::Radiance:
            return true;
        case Quantity::Reflectance:
            return channel.kind == ChannelKind::Solar;
        case Quantity::BrightnessTemperature:
            break;
    }
    return channel.kind == ChannelKind::Thermal;
}

bool UseGsicsCoefficients(Level15Prologue& prologue, int channelId) {
    const auto index = static_cast<size_t>(channelId - 1);
    const float gain = prologue.gsicsGain[index];
    const float offset = prologue.gsicsOffsetCount[index] * gain;
    if (!std::isfinite(gain) || !std::isfinite(offset) || gain == 0.0f || offset == 0.0f) {
        return false;
    }
    prologue.calibrationSlope[index] = gain;
    prologue.calibrationOffset[index] = offset;
    return true;
}

double EarthSunDistanceSquared(double unixSeconds) {
    const double days = (unixSeconds - kJ2000UnixSeconds) / 86400.0;
    const double distance = 1.0 - kEccentricity * std::cos(2.0 * std::numbers::pi *
                                                           (days - kPerihelionDay) / kYearDays);
    return distance * distance;
}

std::vector<float> CalibrationTable(Quantity quantity, const SeviriChannel& channel,
                                    const std::string& name, const Level15Prologue& prologue,
                                    double scanStart, uint32_t bitsPerPixel, std::string& problem) {
    const size_t index = static_cast<size_t>(channel.id - 1);
    const auto slope = static_cast<float>(prologue.calibrationSlope[index]);
    const auto offset = static_cast<float>(prologue.calibrationOffset[index]);
    if (!std::isfinite(slope) || !std::isfinite(offset) || slope == 0.0f) {
        problem = "the prologue's calibration of " + name + " has no usable slope and offset";
        return {};
    }
    std::vector<float> table(size_t{1} << bitsPerPixel);
    for (uint32_t count = 0; count < table.size(); ++count) {
        table[count] = Radiance(count, slope, offset);
    }
    if (quantity == Quantity::BrightnessTemperature &&
        !BrightnessTemperatures(table, channel, name, prologue, problem)) {
        return {};
    }
    if (quantity == Quantity::Reflectance) {
        const double irradiance = *SolarIrradianceOf(prologue.satelliteId, channel.id);
        const double distanceSquared = EarthSunDistanceSquared(scanStart);
        MapRadiances(table, [&](double radiance) {
            return std::numbers::pi * radiance * 100.0 / irradiance * distanceSquared;
        });
    }
    return table;
}

}  // namespace segweld::geo
