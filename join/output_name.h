#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace segweld {

// True for '0' to '9', 'a' to 'z' and 'A' to 'Z'; false for every other byte,
// 0x80 to 0xFF included.
bool IsAlnumChar(signed char c);

// True when every character after the first is one that IsAlnumChar accepts.
bool HasAlnumTail(std::string text);

// Lower-cases 'A' to 'Z' and leaves every other byte as it is, so multi-byte
// characters of a UTF-8 name are never damaged.
std::string LowerAscii(std::string text);

// What a product's output holds, which the extension of its name tells.
enum class OutputKind { Joined, GeoTiff, NetCdf };

// The file name of a product's output, the one rule for every mode that
// writes outputs or looks for them: the file name of the segment the output
// is named after (WalkPlan::namingName) and an extension, the whole
// lower-cased. A GeoTIFF's extension is ".tif", a NetCDF file's ".nc"; a join's is a dot and the
// first four bytes of the first data field, or ".xyz" when there are fewer
// than four or they are not all ASCII letters and digits.
std::string OutputName(const std::string& namingName, OutputKind kind,
                       std::span<const uint8_t> firstBytes = {});

// The name that an output named `fileName` by OutputName is named after
// (lower-cased): `fileName` less its extension of a dot and two to four
// letters and digits; empty when it has no such extension.
std::string OutputNamingStem(const std::string& fileName);

// The output folder and the file name with exactly one separator between them.
std::string JoinedOutputPath(const std::string& outputFolder, const std::string& fileName);

}  // namespace segweld
