// The system menu of a window on Windows: GetSystemMenu and AppendMenuW, and
// WM_SYSCOMMAND turned into the wxEVT_MENU command the dialog listens for.

#include <wx/msw/wrapwin.h>
#include <wx/toplevel.h>

#include <set>

#include "ui/system_menu.h"

namespace segweld {
namespace {

// The commands appended to some system menu; the low four bits of a system
// command belong to the system.
std::set<int>& AppendedCommands() {
    static std::set<int> commands;
    return commands;
}

bool OnSystemCommand(wxWindowMSW* window, WXUINT, WXWPARAM wParam, WXLPARAM) {
    const int id = static_cast<int>(wParam & 0xFFF0);
    if (AppendedCommands().count(id) == 0) {
        return false;  // the system's own commands: Move, Close and the rest
    }
    wxCommandEvent command(wxEVT_MENU, id);
    command.SetEventObject(window);
    window->ProcessWindowEvent(command);
    return true;
}

}  // namespace

bool AppendToSystemMenu(wxTopLevelWindow& window, int id, const char* text) {
    const HMENU menu = ::GetSystemMenu(window.GetHWND(), FALSE);
    const wxString item(text);
    if (menu == nullptr || item.empty()) {
        return false;
    }
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), item.wc_str());
    if (AppendedCommands().empty()) {
        wxWindow::MSWRegisterMessageHandler(WM_SYSCOMMAND, OnSystemCommand);
    }
    AppendedCommands().insert(id & 0xFFF0);
    return true;
}

}  // namespace segweld
