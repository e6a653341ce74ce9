#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace segweld {

// True for a character that separates folders in a path on this platform.
bool IsFolderSeparator(char c);

// The platform's folder separator, put between a folder and a name.
inline constexpr char kFolderSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

// A segment file path split at its last folder separator.
struct SegmentPath {
    std::string directory;  // up to and including the separator; empty without one
    std::string name;       // after the separator; the whole path without one
};

SegmentPath SplitSegmentPath(const std::string& path);

// The file name of segment `number`: the six characters at positions 36 to 41
// of `name` give way to the number, written with at least six digits. A name
// shorter than 36 characters gets the number appended.
std::string SegmentName(const std::string& name, int32_t number);

// The names under which segment `number` of the product that `name` (plain or
// compressed) belongs to may be stored, in the order a walk takes them: the
// plain name, then the name compressed with bzip2, gzip and xz.
std::array<std::string, 4> SegmentFileNames(const std::string& name, int32_t number);

}  // namespace segweld
