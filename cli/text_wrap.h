#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace segweld::cli {

// A blank that keeps the words on both sides on one line ("0 <= K < N"):
// U+00A0 in UTF-8, written as a plain blank.
inline constexpr const char* kNoBreakSpace = "\xC2\xA0";

// The words of `text` in lines of at most `width` characters (a longer word
// stands alone on its line). Blanks and line feeds both separate words;
// kNoBreakSpace does not.
std::vector<std::string> WrapWords(const std::string& text, size_t width);

}  // namespace segweld::cli
