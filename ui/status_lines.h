#pragma once

#include <wx/string.h>

#include <functional>
#include <vector>

namespace segweld {

// The width of a text as a control draws it.
using TextWidth = std::function<int(const wxString& text)>;

// Fits `lines` into `width`. A line that is too wide loses the middle of the
// occurrences of `folders` in it, as little as makes it fit ("/data/…/day1/"),
// so file names, counts and reasons stay whole; a line that is still too wide
// with those folders cut to "…" is broken between words.
std::vector<wxString> FitStatusLines(const std::vector<wxString>& lines,
                                     const std::vector<wxString>& folders, int width,
                                     const TextWidth& textWidth);

}  // namespace segweld
