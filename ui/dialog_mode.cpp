#include "app/dialog_mode.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>

#include "os/process.h"
#include "ui/display_loss.h"
#include "ui/join_worker.h"
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

// How long the process waits, once the dialog is gone, for a join that was
// stopped to end before it leaves it behind.
constexpr std::chrono::milliseconds kJoinEndPatience{100};

int RunDialog(int argc, char** argv) {
    // This module keeps its own table of named temporaries, which the program's
    // handlers never see: the dialog's joins need handlers of their own.
    os::RemoveTemporariesOnInterrupt();
    {
        Toolkit toolkit(argc, argv);
        if (!toolkit.started()) {
            return kDialogNoDisplay;
        }
        RemoveTemporariesWhenTheDisplayIsLost();
        wxTheApp->SetAppName(kApplicationName);
        CSegweldDlg dialog(nullptr);
        wxTheApp->SetTopWindow(&dialog);
        dialog.ShowModal();
    }
    // A join abandoned in a read that does not answer would hold the process
    // up, or go on inside one that is tearing itself down: the process ends
    // here, without it, and its temporary with it.
    if (!JoinWorker::ThreadsEnded(kJoinEndPatience)) {
        os::RemoveOpenTemporaries();
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}

}  // namespace
}  // namespace segweld

// The entry point that segweld looks up when it loads this module.
extern "C" [[gnu::visibility("default")]] int SegweldRunDialogMode(int argc, char** argv) {
    return segweld::RunDialog(argc, argv);
}
