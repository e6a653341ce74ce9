#include "ui/show_in_folder.h"

#include <wx/utils.h>

#include "join/segment_name.h"
#include "ui/path_text.h"

namespace segweld {

bool ShowInFolder(const std::string& file, std::string& error) {
#ifdef __WXMSW__
    const wxString command = "explorer.exe /select,\"" + TextFromPath(file) + "\"";
    const char* program = "explorer.exe";
    const long started = wxExecute(command, wxEXEC_ASYNC);
#else
    const wxString folder = TextFromPath(SplitSegmentPath(file).directory);
    const char* program = "xdg-open";
    const wchar_t* const arguments[] = {L"xdg-open", folder.wc_str(), nullptr};
    const long started = wxExecute(arguments, wxEXEC_ASYNC);
#endif
    if (started <= 0) {
        error = std::string("The folder of ") + file + " cannot be shown: " + program +
                " could not be started.";
        return false;
    }
    return true;
}

}  // namespace segweld
