#include "app/dialog_mode.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>

#include "app/usage.h"
#include "ui/segweld_dlg.h"

namespace segweld {
namespace {

constexpr int kExitNoDisplay = 2;

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// Where the toolkit needs a display server, one must be named; asking GTK to
// open a display that is not named only adds its own complaints.
bool DisplayNamed() {
#if defined(__WXGTK__)
    return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

int NoDisplay() {
    std::fputs(
        "segweld: no display is available for the dialog; give a segment file and an "
        "output folder to join without one.\n\n",
        stderr);
    PrintUsage(stderr);
    return kExitNoDisplay;
}

// wxWidgets lives from here to the end of the dialog and nowhere else.
class Toolkit {
  public:
    Toolkit(int argc, char** argv) {
        wxApp::SetInstance(new wxApp);
        wxLogNull quiet;  // a display that cannot be opened is reported below
        started_ = wxEntryStart(argc, argv);
    }
    ~Toolkit() {
        if (started_) {
            wxEntryCleanup();
        }
    }
    Toolkit(const Toolkit&) = delete;
    Toolkit& operator=(const Toolkit&) = delete;

    bool started() const { return started_; }

  private:
    bool started_ = false;
};

}  // namespace

int RunDialogMode(int argc, char** argv) {
    if (!DisplayNamed()) {
        return NoDisplay();
    }
    Toolkit toolkit(argc, argv);
    if (!toolkit.started()) {
        return NoDisplay();
    }
    wxTheApp->SetAppName(kApplicationName);
    CSegweldDlg dialog(nullptr);
    wxTheApp->SetTopWindow(&dialog);
    dialog.ShowModal();
    return 0;
}

}  // namespace segweld
