#include "station/station_options.h"

#include <charconv>
#include <cmath>

namespace segweld::station {
namespace {

constexpr unsigned kMaxWorkers = 1024;

}  // namespace

bool ParseWorkers(const std::string& text, unsigned& workers) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
        value > kMaxWorkers) {
        return false;
    }
    workers = value;
    return true;
}

bool ParseSeconds(const std::string& text, std::chrono::milliseconds& timeout) {
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(seconds) || seconds < 0 || seconds > 1e9) {
        return false;
    }
    timeout = std::chrono::milliseconds(static_cast<long long>(std::llround(seconds * 1000)));
    return true;
}

}  // namespace segweld::station
