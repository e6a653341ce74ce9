#include "join/segment_name.h"

#include <cstdio>

#include "unpack/compression.h"

namespace segweld {
namespace {

constexpr size_t kNumberPosition = 36;
constexpr size_t kNumberEnd = 42;

}  // namespace

bool IsFolderSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

SegmentPath SplitSegmentPath(const std::string& path) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsFolderSeparator(path[i - 1])) {
            return {path.substr(0, i), path.substr(i)};
        }
    }
    return {"", path};
}

std::string SegmentName(const std::string& name, int32_t number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.6d", number);
    std::string result = name.substr(0, kNumberPosition);
    result += digits;
    if (name.size() > kNumberEnd) {
        result += name.substr(kNumberEnd);
    }
    return result;
}

std::array<std::string, 4> SegmentFileNames(const std::string& name, int32_t number) {
    const std::string plain =
        SegmentName(std::string(unpack::WithoutCompressionSuffix(name)), number);
    std::array<std::string, 4> names{plain, plain, plain, plain};
    for (size_t i = 0; i < unpack::kCompressions.size(); ++i) {
        names[i + 1] += unpack::SuffixOf(unpack::kCompressions[i]);
    }
    return names;
}

}  // namespace segweld
