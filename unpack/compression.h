#pragma once

#include <array>
#include <string_view>

namespace segweld::unpack {

// How a file is compressed whole, as the suffix of its name tells.
enum class Compression { None, Bzip2, Gzip, Xz };

// The compressions a segment file may be stored with, in the order its
// names are tried after the plain one.
inline constexpr std::array kCompressions{Compression::Bzip2, Compression::Gzip, Compression::Xz};

// ".bz2", ".gz" or ".xz"; empty for None.
std::string_view SuffixOf(Compression compression);

// "bzip2", "gzip" or "xz", as people call them; "none".
const char* NameOf(Compression compression);

// The compression that the suffix of `name` tells; None for any other name.
Compression CompressionOfName(std::string_view name);

// `name` without its compression suffix; `name` itself when it has none.
std::string_view WithoutCompressionSuffix(std::string_view name);

}  // namespace segweld::unpack
