#include "ui/system_menu.h"

namespace segweld {

// GTK gives an application no system menu; the dialog offers its commands in
// a context menu instead.
bool AppendToSystemMenu(wxTopLevelWindow&, int, const char*) {
    return false;
}

}  // namespace segweld
