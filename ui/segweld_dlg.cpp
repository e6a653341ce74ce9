#include "ui/segweld_dlg.h"

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "join/segment_name.h"
#include "join/segment_walk.h"
#include "os/file_system.h"
#include "ui/about_dlg.h"
#include "ui/folder_chooser.h"
#include "ui/join_summary.h"
#include "ui/path_text.h"
#include "ui/path_validator.h"
#include "ui/segweld_icon.h"
#include "ui/status_lines.h"
#include "ui/system_menu.h"

namespace segweld {
namespace {

// The folder of `file` without its trailing separator, unless that separator
// is the whole folder (a file in the root folder).
std::string FolderOf(const std::string& file) {
    std::string folder = SplitSegmentPath(file).directory;
    if (folder.size() > 1) {
        folder.pop_back();
    }
    return folder;
}

bool IsFolder(const std::string& path) {
    return os::LookAt(path).kind == os::PathKind::Folder;
}

constexpr char kTypicalSegmentPath[] =
    "/data/H-000-MSG1__-MSG1________-IR_108___-000001___-200706151200-C_";

wxStaticText* Label(wxWindow* parent, const char* text) {
    return new wxStaticText(parent, wxID_ANY, text);
}

wxString Joined(const std::vector<wxString>& lines) {
    wxString text;
    for (const wxString& line : lines) {
        text += (text.empty() ? "" : "\n") + line;
    }
    return text;
}

}  // namespace

CSegweldDlg::CSegweldDlg(wxWindow* parent, JoinFunction join)
    : wxDialog(parent, wxID_ANY, "Segweld", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER | wxDIALOG_NO_PARENT),
      join_(std::move(join)),
      worker_(
          *this, [this](const JoinProgress& progress) { ShowProgress(progress); },
          [this](const JoinReport& report) { ShowOutcome(report); }) {
    CreateControls();
    LayControls();
    BindHandlers();
    AppendToSystemMenu(*this, IDM_ABOUTBOX, IDS_ABOUTBOX);
    SetIcons(SegweldIcons());
    TransferDataToWindow();
}

// Created in tab order: the edit boxes and their buttons, Run! and Close,
// then the progress of a join and its Stop button.
void CSegweldDlg::CreateControls() {
    new wxTextCtrl(this, IDC_FIRST_FILE, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                   PathValidator(&m_firstFile));
    new wxButton(this, IDC_BROWSE_FILE, "Browse...");
    new wxTextCtrl(this, IDC_OUTPUT_FOLDER, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                   PathValidator(&m_outputFolder));
    new wxButton(this, IDC_BROWSE_FOLDER, "Browse...");
    m_runButton = new wxButton(this, IDC_RUN, "Run!");
    auto* close = new wxButton(this, wxID_OK, "Close");
    close->SetDefault();
    // Hidden, and out of the layout; its id is the one that Escape and the
    // window's close box end the dialog with.
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel");
    cancel->Hide();
    statusLine_ = new wxStaticText(this, IDC_STATUS, wxEmptyString, wxDefaultPosition,
                                   wxDefaultSize, wxST_NO_AUTORESIZE);
    gauge_ = new wxGauge(this, IDC_PROGRESS, 1, wxDefaultPosition, wxDefaultSize,
                         wxGA_HORIZONTAL | wxGA_SMOOTH);
    stopButton_ = new wxButton(this, IDC_STOP, "Stop");
    gauge_->Hide();
    stopButton_->Hide();
}

// Two rows: label, edit box, Browse..., then Run! on the first and Close on
// the second. Below them the status line of the last join, which gives room
// to the gauge and Stop while a join runs. Every size comes from the
// controls' fonts; the window grows in width only, the boxes with it.
void CSegweldDlg::LayControls() {
    const wxSize gap = ConvertDialogToPixels(wxSize(5, 5));
    const int margin = ConvertDialogToPixels(wxSize(7, 0)).x;

    auto* rows = new wxFlexGridSizer(4, gap);
    rows->AddGrowableCol(1);
    const auto addRow = [&](const char* label, int edit, int browse, int action) {
        rows->Add(Label(this, label), 0, wxALIGN_CENTER_VERTICAL);
        rows->Add(FindWindow(edit), 0, wxEXPAND | wxALIGN_CENTER_VERTICAL);
        rows->Add(FindWindow(browse), 0, wxEXPAND);
        rows->Add(FindWindow(action), 0, wxEXPAND);
    };
    addRow("First file:", IDC_FIRST_FILE, IDC_BROWSE_FILE, IDC_RUN);
    addRow("Output folder:", IDC_OUTPUT_FOLDER, IDC_BROWSE_FOLDER, wxID_OK);
    // Wide enough for a segment file's whole name and a short folder.
    wxWindow* firstFile = FindWindow(IDC_FIRST_FILE);
    const int nameWidth = firstFile->GetTextExtent(kTypicalSegmentPath).x + 2 * gap.x;
    firstFile->SetMinSize(wxSize(std::max(ConvertDialogToPixels(wxSize(202, 0)).x, nameWidth), -1));

    // Room for an outcome and a warning, or for Stop, whichever is taller.
    statusMinHeight_ = std::max(2 * statusLine_->GetCharHeight(), stopButton_->GetBestSize().y);
    statusLine_->SetMinSize(wxSize(1, statusMinHeight_));
    auto* foot = new wxBoxSizer(wxHORIZONTAL);
    foot->Add(statusLine_, 1, wxALIGN_CENTER_VERTICAL);
    foot->Add(gauge_, 1, wxALIGN_CENTER_VERTICAL | wxLEFT, gap.x);
    foot->Add(stopButton_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, gap.x);

    auto* frame = new wxBoxSizer(wxVERTICAL);
    frame->Add(rows, 0, wxEXPAND | wxALL, margin);
    frame->Add(new wxStaticLine(this), 0, wxEXPAND);
    frame->Add(foot, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP | wxBOTTOM, margin);
    SetSizerAndFit(frame);
    SetSizeHints(GetSize(), wxSize(-1, GetSize().y));
}

void CSegweldDlg::BindHandlers() {
    const auto click = [this](void (CSegweldDlg::*handler)()) {
        return [this, handler](wxCommandEvent&) { (this->*handler)(); };
    };
    Bind(wxEVT_BUTTON, click(&CSegweldDlg::OnRun), IDC_RUN);
    Bind(wxEVT_BUTTON, click(&CSegweldDlg::OnBrowseFile), IDC_BROWSE_FILE);
    Bind(wxEVT_BUTTON, click(&CSegweldDlg::OnBrowseFolder), IDC_BROWSE_FOLDER);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { worker_.RequestStop(); }, IDC_STOP);
    Bind(wxEVT_BUTTON, &CSegweldDlg::OnCloseButton, this, wxID_OK);
    Bind(wxEVT_MENU, &CSegweldDlg::OnSysCommand, this, IDM_ABOUTBOX);
    Bind(wxEVT_CHAR_HOOK, &CSegweldDlg::OnCharHook, this);
    Bind(wxEVT_CONTEXT_MENU, &CSegweldDlg::OnContextMenu, this);
    Bind(wxEVT_CLOSE_WINDOW, &CSegweldDlg::OnClose, this);
    Bind(wxEVT_SIZE, &CSegweldDlg::OnSize, this);
    Bind(wxEVT_SHOW, &CSegweldDlg::OnShow, this);
}

bool CSegweldDlg::UpdateData(bool saveAndValidate) {
    return saveAndValidate ? TransferDataFromWindow() : TransferDataToWindow();
}

std::unique_ptr<wxMenu> CSegweldDlg::CreateSystemMenu() {
    auto menu = std::make_unique<wxMenu>();
    menu->Append(IDM_ABOUTBOX, IDS_ABOUTBOX);
    return menu;
}

// The checks, any message box and the whole join happen in the running
// state; a click or key that arrives meanwhile starts nothing.
void CSegweldDlg::OnRun() {
    if (joining() || !m_runButton->IsEnabled()) {
        return;
    }
    SetRunning(true);
    UpdateData(true);
    ShowStatus({}, {}, "");
    if (const char* problem = FirstProblem()) {
        MessageBox(problem);
        SetRunning(false);
        return;
    }
    if (IsFolder(m_firstFile)) {
        JoinReport report;
        report.error =
            "Nothing joined: the first file " + m_firstFile + " is a folder, not a segment file.";
        ShowOutcome(report);
        return;
    }
    StartJoin();
}

const char* CSegweldDlg::FirstProblem() const {
    if (m_firstFile.empty()) {
        return "Please select a file to process.";
    }
    if (!PathExists(m_firstFile)) {
        return "The input file does not exist.";
    }
    if (m_outputFolder.empty()) {
        return "Please select a folder where to write the resulting joined file.";
    }
    if (!PathExists(m_outputFolder)) {
        return "The output folder does not exist.";
    }
    return nullptr;
}

void CSegweldDlg::StartJoin() {
    gauge_->SetRange(1);
    gauge_->SetValue(0);
    gauge_->Show();
    stopButton_->Show();
    stopButton_->SetFocus();
    Layout();
    ShowStatus({"Joining..."}, {}, "");
    worker_.Start(join_, m_firstFile, m_outputFolder);
}

void CSegweldDlg::ShowProgress(const JoinProgress& progress) {
    if (!joining()) {
        return;  // a report that was on its way when the join ended
    }
    std::string line = "Joining segment " + GroupThousands(progress.segmentNumber);
    if (progress.plannedSegments > 0) {
        line += " of " + GroupThousands(progress.plannedSegments);
        gauge_->SetRange(progress.plannedSegments);
        gauge_->SetValue(std::clamp(progress.segmentNumber - 1, 0, progress.plannedSegments));
    } else {
        gauge_->Pulse();
    }
    line += ": " + GroupThousands(progress.bytesWritten) + " bytes written";
    ShowStatus({line}, {}, "");
}

// Every failed join gets a message box as well as the status line; a join
// that the user stopped gets the status line, or nothing when the dialog is
// closing.
void CSegweldDlg::ShowOutcome(const JoinReport& report) {
    gauge_->Hide();
    stopButton_->Hide();
    Layout();
    if (closeWhenStopped_ != 0) {
        const int returnCode = std::exchange(closeWhenStopped_, 0);
        SetRunning(false);
        if (returnCode == wxID_OK) {
            UpdateData(true);
        }
        EndDialog(returnCode);
        return;
    }
    ShowStatus(JoinSummaryLines(report),
               {FolderOf(m_firstFile), m_outputFolder, FolderOf(report.outputPath),
                FolderOf(report.firstSegmentPath)},
               JoinSummaryDetails(report));
    if (!report.written() && !report.stopped) {
        MessageBox(report.FailureText());
    }
    SetRunning(false);
}

void CSegweldDlg::SetRunning(bool running) {
    m_runButton->SetLabel(running ? "Wait..." : "Run!");
    m_runButton->Enable(!running);
    for (int id : {IDC_BROWSE_FILE, IDC_BROWSE_FOLDER}) {
        FindWindow(id)->Enable(!running);
    }
    for (int id : {IDC_FIRST_FILE, IDC_OUTPUT_FOLDER}) {
        dynamic_cast<wxTextCtrl*>(FindWindow(id))->SetEditable(!running);
    }
    if (!running) {
        m_runButton->SetFocus();
    }
}

void CSegweldDlg::ShowStatus(std::vector<std::string> lines, std::vector<std::string> folders,
                             const std::string& details) {
    statusLines_ = std::move(lines);
    statusFolders_ = std::move(folders);
    if (details.empty()) {
        statusLine_->UnsetToolTip();
    } else {
        statusLine_->SetToolTip(TextFromPath(details));
    }
    FitStatus();
}

// Fits the status text to the line's width; when it needs more lines than
// the room kept for it, the window grows to hold them.
void CSegweldDlg::FitStatus() {
    std::vector<wxString> lines;
    std::vector<wxString> folders;
    for (const std::string& line : statusLines_) {
        lines.push_back(TextFromPath(line));
    }
    for (const std::string& folder : statusFolders_) {
        folders.push_back(TextFromPath(folder));
    }
    const auto textWidth = [this](const wxString& text) {
        return statusLine_->GetTextExtent(text).x;
    };
    const int width = std::max(1, statusLine_->GetSize().x);
    const wxString text = Joined(FitStatusLines(lines, folders, width, textWidth));
    if (text != statusLine_->GetLabelText()) {
        statusLine_->SetLabelText(text);
    }
    const int height =
        std::max(statusMinHeight_, statusLine_->GetTextExtent(text.empty() ? "x" : text).y);
    if (height != statusLine_->GetMinSize().y) {
        statusLine_->SetMinSize(wxSize(1, height));
        const int windowHeight = GetSize().y - GetClientSize().y + GetSizer()->GetMinSize().y;
        SetSizeHints(wxSize(GetMinSize().x, windowHeight), wxSize(-1, windowHeight));
        SetSize(wxSize(GetSize().x, windowHeight));
        Layout();
    }
}

// GTK tells an edit box's true height only once the box is on the screen
// with its font; until then it may give one too small for that font.
void CSegweldDlg::OnShow(wxShowEvent& event) {
    event.Skip();
    if (!event.IsShown() || fittedWhenShown_) {
        return;
    }
    fittedWhenShown_ = true;
    for (int id : {IDC_FIRST_FILE, IDC_OUTPUT_FOLDER}) {
        FindWindow(id)->InvalidateBestSize();
    }
    const wxSize grown = GetSizer()->ComputeFittingWindowSize(this);
    SetSizeHints(grown, wxSize(-1, grown.y));
    SetSize(wxSize(std::max(GetSize().x, grown.x), grown.y));
    Layout();
}

void CSegweldDlg::OnSize(wxSizeEvent&) {
    Layout();
    FitStatus();
}

void CSegweldDlg::MessageBox(const std::string& text) {
    wxMessageBox(TextFromPath(text), kApplicationName, wxOK | wxICON_NONE | wxCENTRE, this);
}

// The file dialog opens in the folder of the file already named, if any.
void CSegweldDlg::OnBrowseFile() {
    const std::string named =
        PathFromText(dynamic_cast<wxTextCtrl&>(*FindWindow(IDC_FIRST_FILE)).GetValue());
    const std::string startFolder = named.empty() ? "" : FolderOf(named);
    wxFileDialog dialog(this, wxFileSelectorPromptStr,
                        IsFolder(startFolder) ? TextFromPath(startFolder) : wxString(),
                        wxEmptyString, wxEmptyString, wxFD_OPEN);
    if (dialog.ShowModal() != wxID_OK) {
        return;
    }
    // The boxes come into the members first, so that a folder typed and not
    // yet used is kept rather than replaced by the file's folder.
    UpdateData(true);
    m_firstFile = PathFromText(dialog.GetPath());
    if (m_outputFolder.empty()) {
        m_outputFolder = FolderOf(m_firstFile);
    }
    UpdateData(false);
    // The end of the path, with the segment number, is what tells files apart.
    dynamic_cast<wxTextCtrl&>(*FindWindow(IDC_FIRST_FILE)).SetInsertionPointEnd();
}

void CSegweldDlg::OnBrowseFolder() {
    UpdateData(true);
    m_outputFolder = ChooseFolder(this, "Choose Destination Folder", m_outputFolder);
    UpdateData(false);
}

void CSegweldDlg::OnSysCommand(wxCommandEvent&) {
    CAboutDlg about(this);
    about.ShowModal();
}

void CSegweldDlg::OnCharHook(wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE && joining()) {
        worker_.RequestStop();
    } else if (event.GetKeyCode() == WXK_ESCAPE) {
        // The Cancel button is hidden, and wxWidgets would take Close instead.
        EndDialog(wxID_CANCEL);
    } else if (event.GetKeyCode() == WXK_F1) {
        wxCommandEvent about(wxEVT_MENU, IDM_ABOUTBOX);
        ProcessWindowEvent(about);
    } else {
        event.Skip();
    }
}

// The edit boxes keep the toolkit's own menu (cut, copy, paste).
void CSegweldDlg::OnContextMenu(wxContextMenuEvent& event) {
    if (dynamic_cast<wxTextCtrl*>(event.GetEventObject()) != nullptr) {
        event.Skip();
        return;
    }
    const std::unique_ptr<wxMenu> menu = CreateSystemMenu();
    PopupMenu(menu.get());
}

// A join that runs is stopped first; the dialog ends when it has stopped.
void CSegweldDlg::StopAndClose(int returnCode) {
    closeWhenStopped_ = returnCode;
    worker_.RequestStop();
}

void CSegweldDlg::OnClose(wxCloseEvent& event) {
    if (!joining()) {
        event.Skip();
        return;
    }
    event.Veto();
    StopAndClose(wxID_CANCEL);
}

void CSegweldDlg::OnCloseButton(wxCommandEvent& event) {
    if (joining()) {
        StopAndClose(wxID_OK);
    } else {
        event.Skip();
    }
}

}  // namespace segweld
