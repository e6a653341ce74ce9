#include "ui/status_area.h"

#include <wx/button.h>
#include <wx/collpane.h>
#include <wx/dcclient.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "ui/outcome_look.h"
#include "ui/path_text.h"
#include "ui/status_lines.h"

namespace segweld {
namespace {

wxString Joined(const std::vector<wxString>& lines) {
    wxString text;
    for (const wxString& line : lines) {
        text += (text.empty() ? "" : "\n") + line;
    }
    return text;
}

// Lines of the Details pane before it scrolls.
constexpr int kDetailsLines = 5;

}  // namespace

StatusArea::StatusArea(wxWindow& window, std::function<void()> heightChanged)
    : window_(window), heightChanged_(std::move(heightChanged)) {
    icon_ = new wxStaticBitmap(&window, IDC_OUTCOME_ICON, wxNullBitmap);
    line_ = new wxStaticText(&window, IDC_STATUS, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                             wxST_NO_AUTORESIZE);
    gauge_ = new wxGauge(&window, IDC_PROGRESS, 100, wxDefaultPosition, wxDefaultSize,
                         wxGA_HORIZONTAL | wxGA_SMOOTH);
    stop_ = new wxButton(&window, IDC_STOP, "S&top");
    showFolder_ = new wxButton(&window, IDC_SHOW_FOLDER, "S&how in folder");
    details_ = new wxCollapsiblePane(&window, IDC_DETAILS, "&Details", wxDefaultPosition,
                                     wxDefaultSize, wxCP_DEFAULT_STYLE | wxCP_NO_TLW_RESIZE);
    detailsText_ =
        new wxTextCtrl(details_->GetPane(), IDC_DETAILS_TEXT, wxEmptyString, wxDefaultPosition,
                       wxDefaultSize, wxTE_MULTILINE | wxTE_READONLY | wxTE_BESTWRAP);
    details_->Bind(wxEVT_COLLAPSIBLEPANE_CHANGED, [this](wxCollapsiblePaneEvent&) {
        window_.Layout();
        heightChanged_();
    });
    for (wxWindow* hidden :
         std::initializer_list<wxWindow*>{icon_, gauge_, stop_, showFolder_, details_}) {
        hidden->Hide();
    }
}

// One row: the icon, the line, and the gauge and Stop during a join or "Show
// in folder" after one; the Details pane under it.
wxSizer* StatusArea::Lay(int gap) {
    // Room for an outcome and a warning, or for a button, whichever is taller.
    minHeight_ = std::max(
        {2 * line_->GetCharHeight(), stop_->GetBestSize().y, showFolder_->GetBestSize().y});
    line_->SetMinSize(wxSize(1, minHeight_));
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(icon_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    row->Add(line_, 1, wxALIGN_CENTER_VERTICAL);
    row->Add(gauge_, 1, wxALIGN_CENTER_VERTICAL | wxLEFT, gap);
    row->Add(stop_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, gap);
    row->Add(showFolder_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, gap);

    auto* pane = new wxBoxSizer(wxVERTICAL);
    const int linesHeight = detailsText_->GetCharHeight() * kDetailsLines;
    detailsText_->SetMinSize(wxSize(1, detailsText_->GetSizeFromTextSize(-1, linesHeight).y));
    pane->Add(detailsText_, 1, wxEXPAND | wxTOP, gap / 2);
    details_->GetPane()->SetSizer(pane);

    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(row, 0, wxEXPAND);
    column->Add(details_, 0, wxEXPAND | wxTOP, gap / 2);
    return column;
}

void StatusArea::SetJoining(bool joining) {
    gauge_->Show(joining);
    stop_->Show(joining);
    stop_->Enable(joining);
    if (joining) {
        icon_->Hide();
        showFolder_->Hide();
        details_->Hide();
        line_->SetForegroundColour(wxNullColour);
    }
    window_.Layout();
}

void StatusArea::ShowJoining() {
    gauge_->SetRange(100);
    gauge_->SetValue(0);
    SetJoining(true);
    ShowLines({"Joining..."}, {});
}

void StatusArea::ShowProgress(const std::string& line, int percent) {
    if (percent >= 0) {
        gauge_->SetValue(percent);
    } else {
        gauge_->Pulse();
    }
    ShowLines({line}, {});
}

void StatusArea::ShowStopping() {
    stop_->Disable();
    ShowLines({"Stopping..."}, {});
}

void StatusArea::ShowOutcome(JoinOutcome outcome, std::vector<std::string> lines,
                             std::vector<std::string> folders, const std::string& details,
                             bool canShowFolder) {
    SetJoining(false);
    const wxColour background = window_.GetBackgroundColour();
    const int iconSize = std::min(minHeight_, line_->GetCharHeight() * 3 / 2);
    icon_->SetBitmap(OutcomeIcon(outcome, background, iconSize, window_.GetContentScaleFactor()));
    icon_->Show();
    line_->SetForegroundColour(OutcomeColour(outcome, background));
    showFolder_->Show(canShowFolder);
    detailsText_->ChangeValue(TextFromPath(details));
    details_->Show(!details.empty());
    window_.Layout();
    ShowLines(std::move(lines), std::move(folders));
    heightChanged_();
}

void StatusArea::Clear() {
    SetJoining(false);
    icon_->Hide();
    showFolder_->Hide();
    details_->Hide();
    line_->SetForegroundColour(wxNullColour);
    ShowLines({}, {});
    heightChanged_();
}

bool StatusArea::ToggleDetails() {
    if (!details_->IsShown()) {
        return false;
    }
    details_->Collapse(details_->IsExpanded());
    window_.Layout();
    heightChanged_();
    if (details_->IsExpanded()) {
        detailsText_->SetFocus();
    }
    return true;
}

void StatusArea::ShowLines(std::vector<std::string> lines, std::vector<std::string> folders) {
    lines_ = std::move(lines);
    folders_ = std::move(folders);
    FitLines();
}

// A text that needs more lines than the room kept for it makes the area,
// and with it the window, taller.
void StatusArea::FitLines() {
    std::vector<wxString> lines;
    std::vector<wxString> folders;
    for (const std::string& line : lines_) {
        lines.push_back(TextFromPath(line));
    }
    for (const std::string& folder : folders_) {
        folders.push_back(TextFromPath(folder));
    }
    const auto textWidth = [this](const wxString& text) { return line_->GetTextExtent(text).x; };
    const int width = std::max(1, line_->GetSize().x);
    const wxString text = Joined(FitStatusLines(lines, folders, width, textWidth));
    if (text != line_->GetLabelText()) {
        line_->SetLabelText(text);
        line_->Refresh();
    }
    wxClientDC dc(line_);
    dc.SetFont(line_->GetFont());
    const int height = std::max(minHeight_, dc.GetMultiLineTextExtent(text).y);
    if (height != line_->GetMinSize().y) {
        line_->SetMinSize(wxSize(1, height));
        heightChanged_();
    }
}

std::string StatusArea::Text() const {
    return PathFromText(line_->GetLabelText());
}

}  // namespace segweld
