#pragma once

#include <wx/dialog.h>

#include <memory>
#include <string>
#include <vector>

#include "join/join_segments.h"
#include "ui/join_worker.h"

class wxButton;
class wxCloseEvent;
class wxContextMenuEvent;
class wxGauge;
class wxKeyEvent;
class wxMenu;
class wxShowEvent;
class wxSizeEvent;
class wxStaticText;

namespace segweld {

inline constexpr int IDC_FIRST_FILE = 1000;
inline constexpr int IDC_OUTPUT_FOLDER = 1001;
inline constexpr int IDC_RUN = 1002;
inline constexpr int IDC_BROWSE_FILE = 1003;
inline constexpr int IDC_BROWSE_FOLDER = 1004;
inline constexpr int IDC_STOP = 1005;
inline constexpr int IDC_PROGRESS = 1006;
inline constexpr int IDC_STATUS = 1007;
inline constexpr int IDM_ABOUTBOX = 0x0010;
inline constexpr char IDS_ABOUTBOX[] = "&About segweld...";

// The caption of the dialog's message boxes: the application's name.
inline constexpr char kApplicationName[] = "segweld";

inline JoinReport JoinProduct(std::string segmentPath, std::string outputFolder,
                              const JoinOptions& options) {
    return JoinSegments(std::move(segmentPath), std::move(outputFolder), options);
}

// The window of the dialog mode: a segment file and an output folder, a
// Browse... button for each, "Run!" to join them and "Close". The join runs
// beside the window, which shows its progress and can stop it.
class CSegweldDlg : public wxDialog {
  public:
    explicit CSegweldDlg(wxWindow* parent, JoinFunction join = JoinProduct);

    // true: the edit boxes into m_firstFile and m_outputFolder; false: back.
    bool UpdateData(bool saveAndValidate);

    // The menu that offers the about box. GTK has no system menu to append it
    // to, so it opens on a right click on the dialog's background.
    static std::unique_ptr<wxMenu> CreateSystemMenu();

    bool joining() const { return worker_.running(); }

    std::string m_firstFile;
    std::string m_outputFolder;

  private:
    void CreateControls();
    void LayControls();
    void BindHandlers();

    void OnRun();
    void OnBrowseFile();
    void OnBrowseFolder();
    void OnSysCommand(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnCloseButton(wxCommandEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnShow(wxShowEvent& event);

    const char* FirstProblem() const;
    void StartJoin();
    void ShowProgress(const JoinProgress& progress);
    void ShowOutcome(const JoinReport& report);
    void StopAndClose(int returnCode);
    void SetRunning(bool running);
    void ShowStatus(std::vector<std::string> lines, std::vector<std::string> folders,
                    const std::string& details);
    void FitStatus();
    void MessageBox(const std::string& text);

    JoinFunction join_;
    JoinWorker worker_;
    wxButton* m_runButton = nullptr;
    wxButton* stopButton_ = nullptr;
    wxGauge* gauge_ = nullptr;
    wxStaticText* statusLine_ = nullptr;
    std::vector<std::string> statusLines_;
    std::vector<std::string> statusFolders_;
    int statusMinHeight_ = 0;
    int closeWhenStopped_ = 0;
    bool fittedWhenShown_ = false;  // the code to end the dialog with once the join has stopped
};

}  // namespace segweld
