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

std::string ListenAddress::Text() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool ParseListenAddress(const std::string& text, ListenAddress& address) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size()) {
        return false;
    }
    std::string host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find_first_of(":[]") != std::string::npos) {
        return false;  // an IPv6 address goes in brackets
    }
    const std::string port = text.substr(colon + 1);
    int value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (host.empty() || host.find_first_of(" \t/") != std::string::npos || error != std::errc() ||
        end != port.data() + port.size() || value < 0 || value > 65535) {
        return false;
    }
    address = {host, value};
    return true;
}

}  // namespace segweld::station
