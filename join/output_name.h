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

// The file name of the joined output: the segment's file name, a dot and the
// first four bytes of the first data field, or ".xyz" when there are fewer than
// four or they are not all ASCII letters and digits; the whole lower-cased.
std::string JoinedOutputName(const std::string& segmentName, std::span<const uint8_t> firstBytes);

// The output folder and the file name with exactly one separator between them.
std::string JoinedOutputPath(const std::string& outputFolder, const std::string& fileName);

}  // namespace segweld
