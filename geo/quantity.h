#pragma once

// The quantity a GeoTIFF's pixels hold, as --calibration names it. Alone in
// this header, without GDAL, so that the command line of every mode can take
// it.

#include <optional>
#include <string_view>

namespace segweld::geo {

enum class Quantity { Counts, Radiance, Reflectance, BrightnessTemperature };

// "counts", "radiance", "reflectance", "brightness-temperature" or "bt".
inline std::optional<Quantity> ParseQuantity(std::string_view text) {
    if (text == "counts") {
        return Quantity::Counts;
    }
    if (text == "radiance") {
        return Quantity::Radiance;
    }
    if (text == "reflectance") {
        return Quantity::Reflectance;
    }
    if (text == "brightness-temperature" || text == "bt") {
        return Quantity::BrightnessTemperature;
    }
    return std::nullopt;
}

// Which of the prologue's coefficients make counts radiances: its nominal
// Level 1.5 calibration, or the GSICS re-calibration where it carries one.
enum class CalibrationMode { Nominal, Gsics };

// "nominal" or "gsics".
inline std::optional<CalibrationMode> ParseCalibrationMode(std::string_view text) {
    if (text == "nominal") {
        return CalibrationMode::Nominal;
    }
    if (text == "gsics") {
        return CalibrationMode::Gsics;
    }
    return std::nullopt;
}

// For people: "counts", "radiance", "reflectance", "brightness temperature".
inline const char* QuantityName(Quantity quantity) {
    switch (quantity) {
        case Quantity::Counts:
            return "counts";
        case Quantity::Radiance:
            return "radiance";
        case Quantity::Reflectance:
            return "reflectance";
        case Quantity::BrightnessTemperature:
            break;
    }
    return "brightness temperature";
}

// As --calibration takes it: "counts", "radiance", "reflectance",
// "brightness-temperature".
inline const char* QuantityToken(Quantity quantity) {
    return quantity == Quantity::BrightnessTemperature ? "brightness-temperature"
                                                       : QuantityName(quantity);
}

}  // namespace segweld::geo
