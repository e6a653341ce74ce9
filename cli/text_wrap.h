#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace segweld::cli {

// The words of `text` in lines of at most `width` characters (a longer word
// stands alone on its line). Blanks and line feeds both separate words.
std::vector<std::string> WrapWords(const std::string& text, size_t width);

}  // namespace segweld::cli
