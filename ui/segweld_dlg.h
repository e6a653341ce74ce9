#pragma once

#include <wx/dialog.h>
#include <wx/timer.h>

#include <chrono>
#include <memory>
#include <string>

#include "join/join_segments.h"
#include "ui/join_worker.h"
#include "ui/status_area.h"

class wxAppProgressIndicator;
class wxButton;
class wxCloseEvent;
class wxContextMenuEvent;
class wxKeyEvent;
class wxMenu;
class wxShowEvent;
class wxSizeEvent;
class wxTextCtrl;

namespace segweld {

inline constexpr int IDC_FIRST_FILE = 1000;
inline constexpr int IDC_OUTPUT_FOLDER = 1001;
inline constexpr int IDC_RUN = 1002;
inline constexpr int IDC_BROWSE_FILE = 1003;
inline constexpr int IDC_BROWSE_FOLDER = 1004;
inline constexpr int IDC_FILL_GAPS = 1012;
inline constexpr int IDC_ABOUT = 1013;
inline constexpr int IDM_ABOUTBOX = 0x0010;
inline constexpr char IDS_ABOUTBOX[] = "&About segweld...";

// The application's name, as the toolkit knows it.
inline constexpr char kApplicationName[] = "segweld";
// The caption of the dialog's message boxes and its title.
inline constexpr char kDialogCaption[] = "Segweld";

// How long a join that was asked to stop may take to let go before it is
// abandoned: the window answers at once either way.
inline constexpr std::chrono::milliseconds kLetGoPatience{500};

inline JoinReport JoinProduct(std::string segmentPath, std::string outputFolder,
                              const JoinOptions& options) {
    return JoinSegments(std::move(segmentPath), std::move(outputFolder), options);
}

// The window of the dialog mode: a segment file and an output folder, a
// Browse... button for each, "Run!" to join them, "Close", "Fill gaps" and
// "About...". The join runs beside the window, which shows its progress and
// can stop it, then its outcome at a glance with every warning in Details.
//
// Run! is the default button: Enter in a path box runs the join with the
// paths typed, and never closes the window.
class CSegweldDlg : public wxDialog {
  public:
    explicit CSegweldDlg(wxWindow* parent, JoinFunction join = JoinProduct);
    ~CSegweldDlg() override;

    // true: the controls into the members, the paths trimmed of surrounding
    // blanks (in the boxes too); false: the members into the controls.
    bool UpdateData(bool saveAndValidate);

    // The menu that offers the about box. GTK has no system menu to append it
    // to, so it opens on a right click on the dialog's background.
    static std::unique_ptr<wxMenu> CreateSystemMenu();

    bool joining() const { return worker_.running(); }
    bool stopping() const { return stopping_; }
    std::string StatusText() const { return status_->Text(); }

    std::string m_firstFile;
    std::string m_outputFolder;
    bool m_fillGaps = false;

  private:
    // A run refused before the join starts: its message and the box to fix.
    struct Refusal {
        std::string text;
        int box = 0;
    };

    void CreateControls();
    void LayControls();
    void BindHandlers();
    wxTextCtrl& Box(int id) const;

    void OnRun();
    void OnStop();
    void OnBrowseFile();
    void OnBrowseFolder();
    void OnShowFolder();
    void OnSysCommand(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    bool PressAccessKey(int key);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnCloseButton(wxCommandEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnShow(wxShowEvent& event);
    void OnLetGoTimer(wxTimerEvent& event);

    Refusal FirstProblem() const;
    void StartJoin(bool fromRun);
    void ShowProgress(const JoinProgress& progress);
    void ShowOutcome(const JoinReport& report);
    void StopAndClose(int returnCode);
    void SetRunning(bool running);
    void FitHeight();
    void MessageBox(const std::string& text, long icon);
    void TrimPastedPath(int id);

    JoinFunction join_;
    JoinWorker worker_;
    std::unique_ptr<StatusArea> status_;
    wxButton* m_runButton = nullptr;
    wxTimer letGoTimer_;
    std::unique_ptr<wxAppProgressIndicator> taskbar_;
    std::chrono::steady_clock::time_point joinStarted_;
    std::string lastOutput_;  // the file the last join wrote
    bool stopping_ = false;
    int closeWhenStopped_ = 0;  // the code to end the dialog with once the join has stopped
    bool fittedWhenShown_ = false;
};

}  // namespace segweld
