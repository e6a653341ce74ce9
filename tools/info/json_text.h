#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace segweld::info {

using Json = nlohmann::ordered_json;

// The "schema" number of segweld-info's JSON: it changes only when a field is
// renamed, removed or changes its meaning; fields may be added under it.
inline constexpr int kJsonSchema = 2;

// Header text as a JSON string: every byte stands for the character of the
// same code, so 0x80 to 0xFF become U+0080 to U+00FF and any bytes make a
// valid string.
Json Latin1Text(std::string_view bytes);

// The document as printed: indented, ASCII only, any invalid UTF-8 in paths
// replaced rather than failing.
std::string FormatJson(const Json& document);

}  // namespace segweld::info
