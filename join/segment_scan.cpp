#include "join/segment_scan.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "join/segment_name.h"
#include "os/folders.h"
#include "unpack/compression.h"

namespace segweld {
namespace {

constexpr size_t kNumberPosition = 36;
constexpr size_t kNumberEnd = 42;
constexpr size_t kMinDigits = 6;

bool AllDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

int32_t SegmentNumberOfName(const std::string& product, const std::string& entry) {
    const std::string productName(unpack::WithoutCompressionSuffix(product));
    const std::string entryName(unpack::WithoutCompressionSuffix(entry));
    const std::string prefix = productName.substr(0, kNumberPosition);
    const std::string suffix =
        productName.size() > kNumberEnd ? productName.substr(kNumberEnd) : std::string();
    if (entryName.size() < prefix.size() + kMinDigits + suffix.size() ||
        !entryName.starts_with(prefix) || !entryName.ends_with(suffix)) {
        return -1;
    }
    const std::string digits =
        entryName.substr(prefix.size(), entryName.size() - prefix.size() - suffix.size());
    int64_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (!AllDigits(digits) || error != std::errc() || end != digits.data() + digits.size() ||
        number > std::numeric_limits<int32_t>::max()) {
        return -1;
    }
    const auto candidate = static_cast<int32_t>(number);
    return SegmentName(productName, candidate) == entryName ? candidate : -1;
}

std::vector<int32_t> SegmentNumbersInFolder(const std::string& segmentPath) {
    const SegmentPath parts = SplitSegmentPath(segmentPath);
    std::vector<int32_t> numbers;
    for (const os::FolderEntry& entry : os::ListFolder(parts.directory).entries) {
        const int32_t number = SegmentNumberOfName(parts.name, entry.name);
        if (number >= 0) {
            numbers.push_back(number);
        }
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());  // stored twice
    return numbers;
}

std::optional<std::string> FindCompressedSegment(const std::string& segmentPath) {
    const SegmentPath parts = SplitSegmentPath(segmentPath);
    if (unpack::CompressionOfName(parts.name) != unpack::Compression::None) {
        return segmentPath;
    }
    for (const os::FolderEntry& entry : os::ListFolder(parts.directory).entries) {
        if (unpack::CompressionOfName(entry.name) != unpack::Compression::None &&
            SegmentNumberOfName(parts.name, entry.name) >= 0) {
            return parts.directory + entry.name;
        }
    }
    return std::nullopt;
}

}  // namespace segweld
