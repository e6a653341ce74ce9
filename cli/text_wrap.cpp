#include "cli/text_wrap.h"

#include <algorithm>
#include <string_view>

namespace segweld::cli {

std::vector<std::string> WrapWords(const std::string& text, size_t width) {
    std::vector<std::string> lines;
    std::string line;
    size_t start = text.find_first_not_of(" \n");
    while (start != std::string::npos) {
        const size_t end = std::min(text.find_first_of(" \n", start), text.size());
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = text.find_first_not_of(" \n", end);
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    for (std::string& kept : lines) {
        for (size_t at = kept.find(kNoBreakSpace); at != std::string::npos;
             at = kept.find(kNoBreakSpace, at)) {
            kept.replace(at, std::string_view(kNoBreakSpace).size(), " ");
        }
    }
    return lines;
}

}  // namespace segweld::cli
