#pragma once

#include <wx/dialog.h>

#include <functional>
#include <memory>
#include <string>

#include "join/join_segments.h"

class wxButton;
class wxContextMenuEvent;
class wxKeyEvent;
class wxMenu;
class wxStaticText;

namespace segweld {

inline constexpr int IDC_FIRST_FILE = 1000;
inline constexpr int IDC_OUTPUT_FOLDER = 1001;
inline constexpr int IDC_RUN = 1002;
inline constexpr int IDC_BROWSE_FILE = 1003;
inline constexpr int IDC_BROWSE_FOLDER = 1004;
inline constexpr int IDM_ABOUTBOX = 0x0010;
inline constexpr char IDS_ABOUTBOX[] = "&About segweld...";

// The caption of the dialog's message boxes: the application's name.
inline constexpr char kApplicationName[] = "segweld";

using JoinFunction = std::function<JoinReport(std::string segmentPath, std::string outputFolder)>;

inline JoinReport JoinProduct(std::string segmentPath, std::string outputFolder) {
    return JoinSegments(std::move(segmentPath), std::move(outputFolder));
}

// The window of the dialog mode: a segment file and an output folder, a
// Browse... button for each, "Run!" to join them and "Close".
class CSegweldDlg : public wxDialog {
  public:
    explicit CSegweldDlg(wxWindow* parent, JoinFunction join = JoinProduct);

    // true: the edit boxes into m_firstFile and m_outputFolder; false: back.
    bool UpdateData(bool saveAndValidate);

    // The menu that offers the about box. GTK has no system menu to append it
    // to, so it opens on a right click in the dialog.
    static std::unique_ptr<wxMenu> CreateSystemMenu();

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

    const char* FirstProblem() const;
    void Join();
    void ShowStatus(const std::string& line, const std::string& details);
    void MessageBox(const std::string& text);

    JoinFunction join_;
    wxButton* m_runButton = nullptr;
    wxStaticText* statusLine_ = nullptr;
};

}  // namespace segweld
