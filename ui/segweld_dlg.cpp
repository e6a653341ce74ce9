#include "ui/segweld_dlg.h"

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <exception>

#include "join/segment_name.h"
#include "join/segment_walk.h"
#include "ui/about_dlg.h"
#include "ui/folder_chooser.h"
#include "ui/join_summary.h"
#include "ui/path_text.h"
#include "ui/path_validator.h"
#include "ui/segweld_icon.h"
#include "ui/system_menu.h"

namespace segweld {
namespace {

// Shows "Wait..." on a disabled button for as long as it lives, then "Run!"
// on an enabled one, however the span ends.
class BusyRunButton {
  public:
    explicit BusyRunButton(wxButton& button) : button_(button) {
        button_.Disable();
        button_.SetLabel("Wait...");
    }
    ~BusyRunButton() {
        button_.SetLabel("Run!");
        button_.Enable();
    }
    BusyRunButton(const BusyRunButton&) = delete;
    BusyRunButton& operator=(const BusyRunButton&) = delete;

  private:
    wxButton& button_;
};

// The folder of `file` without its trailing separator, unless that separator
// is the whole folder (a file in the root folder).
std::string FolderOf(const std::string& file) {
    std::string folder = SplitSegmentPath(file).directory;
    if (folder.size() > 1) {
        folder.pop_back();
    }
    return folder;
}

wxStaticText* Label(wxWindow* parent, const char* text) {
    return new wxStaticText(parent, wxID_ANY, text);
}

}  // namespace

CSegweldDlg::CSegweldDlg(wxWindow* parent, JoinFunction join)
    : wxDialog(parent, wxID_ANY, "Segweld", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxDIALOG_NO_PARENT),
      join_(std::move(join)) {
    CreateControls();
    LayControls();
    BindHandlers();
    AppendToSystemMenu(*this, IDM_ABOUTBOX, IDS_ABOUTBOX);
    SetIcons(SegweldIcons());
    TransferDataToWindow();
}

// Created in tab order: the edit boxes and their buttons, then Run! and Close.
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
    statusLine_ = new wxStaticText(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                   wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_MIDDLE);
}

// Two rows: label, edit box, Browse..., then Run! on the first and Close on
// the second; the status line of the last join below them.
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
    FindWindow(IDC_FIRST_FILE)->SetMinSize(ConvertDialogToPixels(wxSize(202, -1)));

    statusLine_->SetMinSize(wxSize(-1, GetCharHeight()));
    auto* frame = new wxBoxSizer(wxVERTICAL);
    frame->Add(rows, 0, wxEXPAND | wxALL, margin);
    frame->Add(new wxStaticLine(this), 0, wxEXPAND);
    frame->AddSpacer(gap.y);
    frame->Add(statusLine_, 0, wxEXPAND | wxLEFT | wxRIGHT, margin);
    frame->AddSpacer(gap.y);
    SetSizerAndFit(frame);
}

void CSegweldDlg::BindHandlers() {
    const auto click = [this](void (CSegweldDlg::*handler)()) {
        return [this, handler](wxCommandEvent&) { (this->*handler)(); };
    };
    Bind(wxEVT_BUTTON, click(&CSegweldDlg::OnRun), IDC_RUN);
    Bind(wxEVT_BUTTON, click(&CSegweldDlg::OnBrowseFile), IDC_BROWSE_FILE);
    Bind(wxEVT_BUTTON, click(&CSegweldDlg::OnBrowseFolder), IDC_BROWSE_FOLDER);
    Bind(wxEVT_MENU, &CSegweldDlg::OnSysCommand, this, IDM_ABOUTBOX);
    Bind(wxEVT_CHAR_HOOK, &CSegweldDlg::OnCharHook, this);
    Bind(wxEVT_CONTEXT_MENU, &CSegweldDlg::OnContextMenu, this);
}

bool CSegweldDlg::UpdateData(bool saveAndValidate) {
    return saveAndValidate ? TransferDataFromWindow() : TransferDataToWindow();
}

std::unique_ptr<wxMenu> CSegweldDlg::CreateSystemMenu() {
    auto menu = std::make_unique<wxMenu>();
    menu->Append(IDM_ABOUTBOX, IDS_ABOUTBOX);
    return menu;
}

void CSegweldDlg::OnRun() {
    BusyRunButton busy(*m_runButton);
    UpdateData(true);
    ShowStatus("", "");
    if (const char* problem = FirstProblem()) {
        MessageBox(problem);
        return;
    }
    Join();
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

void CSegweldDlg::Join() {
    JoinReport report;
    try {
        report = join_(m_firstFile, m_outputFolder);
    } catch (const std::exception& error) {
        report.error = std::string("The join stopped: ") + error.what();
    }
    ShowStatus(JoinSummaryLine(report), JoinSummaryDetails(report));
    if (!report.error.empty()) {
        MessageBox(report.error);
    }
}

void CSegweldDlg::ShowStatus(const std::string& line, const std::string& details) {
    statusLine_->SetLabelText(TextFromPath(line));
    if (details.empty()) {
        statusLine_->UnsetToolTip();
    } else {
        statusLine_->SetToolTip(TextFromPath(details));
    }
}

void CSegweldDlg::MessageBox(const std::string& text) {
    wxMessageBox(TextFromPath(text), kApplicationName, wxOK | wxICON_NONE | wxCENTRE, this);
}

void CSegweldDlg::OnBrowseFile() {
    wxFileDialog dialog(this, wxFileSelectorPromptStr, wxEmptyString, wxEmptyString, wxEmptyString,
                        wxFD_OPEN);
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
    if (event.GetKeyCode() == WXK_ESCAPE) {
        // The Cancel button is hidden, and wxWidgets would take Close instead.
        EndDialog(wxID_CANCEL);
    } else if (event.GetKeyCode() == WXK_F1) {
        wxCommandEvent about(wxEVT_MENU, IDM_ABOUTBOX);
        ProcessWindowEvent(about);
    } else {
        event.Skip();
    }
}

void CSegweldDlg::OnContextMenu(wxContextMenuEvent&) {
    const std::unique_ptr<wxMenu> menu = CreateSystemMenu();
    PopupMenu(menu.get());
}

}  // namespace segweld
