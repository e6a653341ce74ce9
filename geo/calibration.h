#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geo/level15_records.h"
#include "geo/quantity.h"
#include "geo/seviri_channels.h"

namespace segweld::geo {

// The unit of the calibrated quantity: "K", "%", "mW m-2 sr-1 (cm-1)-1";
// "count" for counts.
const char* QuantityUnit(Quantity quantity);

// The quantity a channel is calibrated to by default: reflectance for the
// solar channels, brightness temperature for the thermal ones.
Quantity DefaultQuantity(const SeviriChannel& channel);
// Whether `quantity` is one of the channel's: counts and radiance for every
// channel, reflectance for the solar ones, brightness temperature for the
// thermal ones.
bool HasQuantity(const SeviriChannel& channel, Quantity quantity);

// The calibrated value of every count of `bitsPerPixel` bits, by count, as
// float32: count 0 has no value (NaN); radiance is slope * count + offset
// from the prologue's Level 1.5 calibration, at least 0; brightness
// temperature follows the channel's radiance type in the prologue;
// reflectance is pi * radiance * 100 / solar irradiance, corrected for the
// Earth-Sun distance at `scanStart` (seconds since 1970). Empty, with
// `problem` set, when the prologue does not allow it.
// `name` names the channel in `problem`.
std::vector<float> CalibrationTable(Quantity quantity, const SeviriChannel& channel,
                                    const std::string& name, const Level15Prologue& prologue,
                                    double scanStart, uint32_t bitsPerPixel, std::string& problem);

// Puts the GSICS re-calibration of channel `channelId` in place of the
// nominal slope and offset of `prologue`, as float32 products as satpy
// forms them (slope = gain, offset = offset count * gain); false, leaving it
// as it was, where the prologue carries none for the channel (zero or not
// finite).
bool UseGsicsCoefficients(Level15Prologue& prologue, int channelId);

// The square of the Earth-Sun distance in astronomical units at `unixSeconds`,
// by which a reflectance is multiplied.
double EarthSunDistanceSquared(double unixSeconds);

}  // namespace segweld::geo
