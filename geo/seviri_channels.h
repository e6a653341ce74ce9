#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace segweld::geo {

// How SEVIRI measures in a channel: reflected sunlight (VIS006, VIS008,
// IR_016, HRV) or emitted heat (IR_039 to IR_134).
enum class ChannelKind { Solar, Thermal };

// One of the twelve SEVIRI channels, by its spectral channel id (1 to 12,
// as ChannelCodeOf gives it for the channel's name).
struct SeviriChannel {
    int id = 0;
    const char* centralWavelength = "";  // micrometres, as text
    ChannelKind kind = ChannelKind::Thermal;
};

// The channel of spectral channel id `id`; nothing outside 1 to 12.
std::optional<SeviriChannel> ChannelById(int id);

// The MSG satellites by the satellite id of their prologue and segment
// identification: 321 to 324.
inline constexpr uint16_t kFirstMsgSatelliteId = 321;
inline constexpr uint16_t kLastMsgSatelliteId = 324;

// "Meteosat-8" to "Meteosat-11" for ids 321 to 324; empty for any other id.
std::string PlatformName(uint16_t satelliteId);

// The published conversion of a thermal channel's radiance to brightness
// temperature: the central wave number (cm-1) and the regression
// T = (Tb - beta) / alpha from the Planck temperature Tb at that wave number.
struct ThermalCoefficients {
    double waveNumber = 0.0;
    double alpha = 1.0;
    double beta = 0.0;
};

// The fit of the brightness temperature to the Planck temperature Tb for data
// in spectral radiance: T = a Tb^2 + b Tb + c; the same for every satellite.
struct SpectralFit {
    double a = 0.0;
    double b = 1.0;
    double c = 0.0;
};

// The coefficients of satellite `satelliteId` (321 to 324) for a thermal
// channel (ids 4 to 11); nothing for any other satellite or channel.
std::optional<ThermalCoefficients> ThermalCoefficientsOf(uint16_t satelliteId, int channelId);
std::optional<SpectralFit> SpectralFitOf(int channelId);

// The solar irradiance (mW m-2 (cm-1)-1) of a solar channel of satellite
// `satelliteId` (321 to 324); nothing for any other satellite or channel.
std::optional<double> SolarIrradianceOf(uint16_t satelliteId, int channelId);

}  // namespace segweld::geo
