#include "ui/path_text.h"

#include <wx/strconv.h>

namespace segweld {
namespace {

// Paths are UTF-8 inside the program on every system, whatever the code page
// of the process that loads the dialog. Bytes that are not UTF-8 map to
// private-use characters and back.
const wxMBConv& PathConversion() {
    static const wxMBConvUTF8 conversion(wxMBConvUTF8::MAP_INVALID_UTF8_TO_PUA);
    return conversion;
}

}  // namespace

wxString TextFromPath(const std::string& path) {
    return wxString(path.data(), PathConversion(), path.size());
}

std::string PathFromText(const wxString& text) {
    const wxScopedCharBuffer bytes = text.mb_str(PathConversion());
    return std::string(bytes.data(), bytes.length());
}

std::string TrimmedPath(const std::string& path) {
    constexpr char kBlanks[] = " \t\r\n";
    const size_t first = path.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        return "";
    }
    return path.substr(first, path.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace segweld
