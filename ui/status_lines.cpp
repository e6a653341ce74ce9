#include "ui/status_lines.h"

#include <wx/arrstr.h>

#include <algorithm>

namespace segweld {
namespace {

const wxString kEllipsis = wxString::FromUTF8("\xe2\x80\xa6");

// Where a folder occurs in a line.
struct FolderSpan {
    size_t start = 0;
    size_t length = 0;
};

// The occurrences of `folders` in `line`, longest folders first, none overlapping.
std::vector<FolderSpan> FindFolders(const wxString& line, std::vector<wxString> folders) {
    std::sort(folders.begin(), folders.end(),
              [](const wxString& a, const wxString& b) { return a.length() > b.length(); });
    std::vector<FolderSpan> spans;
    for (const wxString& folder : folders) {
        if (folder.length() < 2) {
            continue;  // the root folder has nothing to spare
        }
        for (size_t at = line.find(folder); at != wxString::npos;
             at = line.find(folder, at + folder.length())) {
            const bool overlaps = std::any_of(spans.begin(), spans.end(), [&](const FolderSpan& s) {
                return at < s.start + s.length && s.start < at + folder.length();
            });
            if (!overlaps) {
                spans.push_back({at, folder.length()});
            }
        }
    }
    std::sort(spans.begin(), spans.end(),
              [](const FolderSpan& a, const FolderSpan& b) { return a.start < b.start; });
    return spans;
}

// `line` with each folder cut to its first character and its last `keep`
// characters around an ellipsis; folders no longer than that stay whole.
wxString CutFolders(const wxString& line, const std::vector<FolderSpan>& spans, size_t keep) {
    wxString cut;
    size_t from = 0;
    for (const FolderSpan& span : spans) {
        cut += line.Mid(from, span.start - from);
        if (span.length <= keep + 2) {
            cut += line.Mid(span.start, span.length);
        } else {
            cut += line[span.start] + kEllipsis + line.Mid(span.start + span.length - keep, keep);
        }
        from = span.start + span.length;
    }
    return cut + line.Mid(from);
}

// Breaks `line` between words into lines no wider than `width`; a word wider
// than that keeps a line of its own.
std::vector<wxString> BreakBetweenWords(const wxString& line, int width,
                                        const TextWidth& textWidth) {
    std::vector<wxString> broken(1);
    for (const wxString& word : wxSplit(line, ' ', '\0')) {
        const wxString longer = broken.back().empty() ? word : broken.back() + ' ' + word;
        if (broken.back().empty() || textWidth(longer) <= width) {
            broken.back() = longer;
        } else {
            broken.push_back(word);
        }
    }
    return broken;
}

std::vector<wxString> FitLine(const wxString& line, const std::vector<wxString>& folders, int width,
                              const TextWidth& textWidth) {
    if (textWidth(line) <= width) {
        return {line};
    }
    const std::vector<FolderSpan> spans = FindFolders(line, folders);
    size_t longest = 0;
    for (const FolderSpan& span : spans) {
        longest = std::max(longest, span.length);
    }
    // The most of each folder that still fits: a binary search over `keep`.
    size_t fits = 0;
    size_t tooMuch = longest;
    while (tooMuch - fits > 1) {
        const size_t keep = (fits + tooMuch) / 2;
        if (textWidth(CutFolders(line, spans, keep)) <= width) {
            fits = keep;
        } else {
            tooMuch = keep;
        }
    }
    const wxString cut = CutFolders(line, spans, fits);
    if (textWidth(cut) <= width) {
        return {cut};
    }
    return BreakBetweenWords(cut, width, textWidth);
}

}  // namespace

std::vector<wxString> FitStatusLines(const std::vector<wxString>& lines,
                                     const std::vector<wxString>& folders, int width,
                                     const TextWidth& textWidth) {
    std::vector<wxString> fitted;
    for (const wxString& line : lines) {
        for (wxString& part : FitLine(line, folders, width, textWidth)) {
            fitted.push_back(std::move(part));
        }
    }
    return fitted;
}

}  // namespace segweld
