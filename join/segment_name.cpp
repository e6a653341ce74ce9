#include "join/segment_name.h"

#include <cstdio>

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

}  // namespace segweld
