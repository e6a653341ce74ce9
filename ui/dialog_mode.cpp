#include "app/dialog_mode.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include "os/process.h"
#include "ui/segweld_dlg.h"

namespace segweld {
namespace {

// wxWidgets lives from here to the end of the dialog and nowhere else.
class Toolkit {
  public:
    Toolkit(int argc, char** argv) {
        wxApp::SetInstance(new wxApp);
        wxLogNull quiet;  // a display that cannot be opened is reported by the caller
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

int RunDialog(int argc, char** argv) {
    // This module keeps its own table of named temporaries, which the program's
    // handlers never see: the dialog's joins need handlers of their own.
    os::RemoveTemporariesOnInterrupt();
    Toolkit toolkit(argc, argv);
    if (!toolkit.started()) {
        return kDialogNoDisplay;
    }
    wxTheApp->SetAppName(kApplicationName);
    CSegweldDlg dialog(nullptr);
    wxTheApp->SetTopWindow(&dialog);
    dialog.ShowModal();
    return 0;
}

}  // namespace
}  // namespace segweld

// The entry point that segweld looks up when it loads this module.
extern "C" [[gnu::visibility("default")]] int SegweldRunDialogMode(int argc, char** argv) {
    return segweld::RunDialog(argc, argv);
}
