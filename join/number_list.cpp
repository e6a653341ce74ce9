#include "join/number_list.h"

#include <algorithm>

namespace segweld {
namespace {

std::string FormatRun(int32_t first, int32_t last) {
    if (first == last) {
        return std::to_string(first);
    }
    return std::to_string(first) + "-" + std::to_string(last);
}

}  // namespace

std::string FormatNumberList(std::vector<int32_t> numbers) {
    if (numbers.empty()) {
        return "none";
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::string text;
    size_t runStart = 0;
    for (size_t i = 1; i <= numbers.size(); ++i) {
        if (i < numbers.size() && numbers[i] == numbers[i - 1] + 1) {
            continue;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += FormatRun(numbers[runStart], numbers[i - 1]);
        runStart = i;
    }
    return text;
}

std::string CountOf(uint64_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace segweld
