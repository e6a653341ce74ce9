#include "ui/path_text.h"

#include <wx/strconv.h>

namespace segweld {
namespace {

#ifdef _WIN32
const wxMBConv& PathConversion() {
    return wxConvLocal;
}
#else
// Bytes that are not UTF-8 map to private-use characters and back.
const wxMBConv& PathConversion() {
    static const wxMBConvUTF8 conversion(wxMBConvUTF8::MAP_INVALID_UTF8_TO_PUA);
    return conversion;
}
#endif

}  // namespace

wxString TextFromPath(const std::string& path) {
    return wxString(path.data(), PathConversion(), path.size());
}

std::string PathFromText(const wxString& text) {
    const wxScopedCharBuffer bytes = text.mb_str(PathConversion());
    return std::string(bytes.data(), bytes.length());
}

}  // namespace segweld
