#include "station/shard.h"

#include <charconv>

namespace segweld::station {
namespace {

constexpr uint64_t kFnvOffsetBasis = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

std::optional<uint64_t> ParseCount(std::string_view text) {
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

uint64_t Fnv1a64(std::string_view bytes) {
    uint64_t hash = kFnvOffsetBasis;
    for (char c : bytes) {
        hash ^= static_cast<uint8_t>(c);
        hash *= kFnvPrime;
    }
    return hash;
}

bool Shard::Holds(std::string_view productKey) const {
    return Fnv1a64(productKey) % count == index;
}

std::optional<Shard> ParseShard(const std::string& text) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    const auto index = ParseCount(std::string_view(text).substr(0, slash));
    const auto count = ParseCount(std::string_view(text).substr(slash + 1));
    if (!index || !count || *count == 0 || *index >= *count) {
        return std::nullopt;
    }
    return Shard{*index, *count};
}

}  // namespace segweld::station
