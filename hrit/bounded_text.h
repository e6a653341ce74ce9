#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace segweld {

// Copies at most `maxChars` characters of `text` into a fixed text field and
// terminates it; the field's width bounds the copy whatever `maxChars` says.
template <size_t N>
void CopyText(char (&field)[N], std::string_view text, size_t maxChars = N - 1) {
    static_assert(N > 0);
    size_t count = text.size();
    if (count > maxChars) {
        count = maxChars;
    }
    if (count > N - 1) {
        count = N - 1;
    }
    std::memcpy(field, text.data(), count);
    field[count] = '\0';
}

// Formats into a text field of `width` bytes, cutting the text to fit; the
// field always ends with a terminator.
[[gnu::format(printf, 3, 4)]] inline void FormatText(char* field, size_t width, const char* format,
                                                     ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(field, width, format, arguments);
    va_end(arguments);
}

template <size_t N>
std::string_view TextOf(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

}  // namespace segweld
