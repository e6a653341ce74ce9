#pragma once

#include <wx/string.h>

#include <string>

namespace segweld {

// Paths travel through Segweld as the bytes the file system takes (UTF-8 on
// Linux); the dialogs show them as wxString. Both conversions keep every byte,
// so a file name that is not valid UTF-8 survives the trip through a text box.
wxString TextFromPath(const std::string& path);
std::string PathFromText(const wxString& text);

// `path` without the blanks (spaces, tabs, line ends) around it, which a
// path copied from a terminal or a mail often brings along.
std::string TrimmedPath(const std::string& path);

}  // namespace segweld
