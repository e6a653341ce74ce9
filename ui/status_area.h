#pragma once

// wxMSW names its generic pane wxCollapsiblePane by a macro: no forward declaration.
#include <wx/collpane.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/join_summary.h"

class wxButton;
class wxGauge;
class wxSizer;
class wxStaticBitmap;
class wxStaticText;
class wxTextCtrl;
class wxWindow;

namespace segweld {

inline constexpr int IDC_STOP = 1005;
inline constexpr int IDC_PROGRESS = 1006;
inline constexpr int IDC_STATUS = 1007;
inline constexpr int IDC_SHOW_FOLDER = 1008;
inline constexpr int IDC_DETAILS = 1009;
inline constexpr int IDC_DETAILS_TEXT = 1010;
inline constexpr int IDC_OUTCOME_ICON = 1011;

// The foot of the main dialog: during a join its progress, a gauge and Stop;
// after one the outcome at a glance (an icon and a line in the outcome's
// colour), "Show in folder" when a file was written, and a Details pane
// that holds the whole outcome and every warning, for the keyboard to reach.
// Its controls are the window's own children, created in tab order.
class StatusArea {
  public:
    // `heightChanged` runs whenever the area needs another height.
    StatusArea(wxWindow& window, std::function<void()> heightChanged);

    wxSizer* Lay(int gap);

    void ShowJoining();
    void ShowProgress(const std::string& line, int percent);
    void ShowStopping();
    // `folders` may lose their middles where the lines are too wide.
    void ShowOutcome(JoinOutcome outcome, std::vector<std::string> lines,
                     std::vector<std::string> folders, const std::string& details,
                     bool canShowFolder);
    void Clear();
    // Opens Details, with the focus in its text, or closes it. False when
    // there are no details to show.
    bool ToggleDetails();

    // Fits the lines to the width the layout gave them.
    void FitLines();
    std::string Text() const;

  private:
    void ShowLines(std::vector<std::string> lines, std::vector<std::string> folders);
    void SetJoining(bool joining);

    wxWindow& window_;
    std::function<void()> heightChanged_;
    wxStaticBitmap* icon_ = nullptr;
    wxStaticText* line_ = nullptr;
    wxGauge* gauge_ = nullptr;
    wxButton* stop_ = nullptr;
    wxButton* showFolder_ = nullptr;
    wxCollapsiblePane* details_ = nullptr;
    wxTextCtrl* detailsText_ = nullptr;
    std::vector<std::string> lines_;
    std::vector<std::string> folders_;
    int minHeight_ = 0;
};

}  // namespace segweld
