#include "ui/segweld_dlg.h"

#include <wx/appprogress.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valgen.h>

#include <algorithm>

#include "join/segment_name.h"
#include "join/segment_walk.h"
#include "os/file_system.h"
#include "ui/about_dlg.h"
#include "ui/folder_chooser.h"
#include "ui/join_summary.h"
#include "ui/path_text.h"
#include "ui/path_validator.h"
#include "ui/progress_text.h"
#include "join/segment_pick.h"
#include "ui/segweld_icon.h"
#include "ui/show_in_folder.h"
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

// The narrowest a path box may become on a small screen or at a large font,
// in dialog units; the buttons never give way.
constexpr int kNarrowestBox = 80;

}  // namespace

CSegweldDlg::CSegweldDlg(wxWindow* parent, JoinFunction join)
    : wxDialog(parent, wxID_ANY, kDialogCaption, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER | wxMINIMIZE_BOX | wxDIALOG_NO_PARENT),
      join_(std::move(join)),
      worker_(
          *this, [this](const JoinProgress& progress) { ShowProgress(progress); },
          [this](const JoinReport& report) { ShowOutcome(report); }),
      letGoTimer_(this) {
    CreateControls();
    LayControls();
    BindHandlers();
    AppendToSystemMenu(*this, IDM_ABOUTBOX, IDS_ABOUTBOX);
    SetIcons(SegweldIcons());
    TransferDataToWindow();
}

CSegweldDlg::~CSegweldDlg() = default;

// Created in tab order: each label just before its box (GTK gives a label's
// access key to the control created after it), the boxes and their buttons,
// Run! and Close, Fill gaps and About..., then the foot (StatusArea).
void CSegweldDlg::CreateControls() {
    const auto pathBox = [this](const char* label, int id, std::string* path, const char* browse,
                                int browseId) {
        new wxStaticText(this, wxID_ANY, label);
        new wxTextCtrl(this, id, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                       wxTE_PROCESS_ENTER, PathValidator(path));
        new wxButton(this, browseId, browse);
    };
    pathBox("&First file:", IDC_FIRST_FILE, &m_firstFile, "&Browse...", IDC_BROWSE_FILE);
    pathBox("&Output folder:", IDC_OUTPUT_FOLDER, &m_outputFolder, "Bro&wse...", IDC_BROWSE_FOLDER);
    m_runButton = new wxButton(this, IDC_RUN, "&Run!");
    m_runButton->SetDefault();
    new wxButton(this, wxID_OK, "&Close");
    auto* fillGaps = new wxCheckBox(this, IDC_FILL_GAPS, "Fill &gaps", wxDefaultPosition,
                                    wxDefaultSize, 0, wxGenericValidator(&m_fillGaps));
    fillGaps->SetToolTip(
        "Write each missing segment of the planned product as zeros in its "
        "place, so that every segment present lands where it belongs.");
    new wxButton(this, IDC_ABOUT, "&About...");
    // Hidden, and out of the layout; its id is the one that Escape and the
    // window's close box end the dialog with.
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel");
    cancel->Hide();
    status_ = std::make_unique<StatusArea>(*this, [this] { FitHeight(); });
}

// Three rows: label, path box, Browse..., then Run! on the first, Close on
// the second, Fill gaps and About... on the third. Below them the foot.
// Every size comes from the controls' fonts; the window grows in width only,
// the boxes with it, and never starts wider than the screen.
void CSegweldDlg::LayControls() {
    const wxSize gap = ConvertDialogToPixels(wxSize(5, 5));
    const int margin = ConvertDialogToPixels(wxSize(7, 0)).x;

    auto* rows = new wxFlexGridSizer(4, gap);
    rows->AddGrowableCol(1);
    const auto addRow = [&](int edit, int browse, int action) {
        rows->Add(FindWindow(edit)->GetPrevSibling(), 0, wxALIGN_CENTER_VERTICAL);
        rows->Add(FindWindow(edit), 0, wxEXPAND | wxALIGN_CENTER_VERTICAL);
        rows->Add(FindWindow(browse), 0, wxEXPAND);
        rows->Add(FindWindow(action), 0, wxEXPAND);
    };
    addRow(IDC_FIRST_FILE, IDC_BROWSE_FILE, IDC_RUN);
    addRow(IDC_OUTPUT_FOLDER, IDC_BROWSE_FOLDER, wxID_OK);
    rows->AddSpacer(0);
    rows->Add(FindWindow(IDC_FILL_GAPS), 0, wxALIGN_CENTER_VERTICAL);
    rows->AddSpacer(0);
    rows->Add(FindWindow(IDC_ABOUT), 0, wxEXPAND);

    auto* frame = new wxBoxSizer(wxVERTICAL);
    frame->Add(rows, 0, wxEXPAND | wxALL, margin);
    frame->Add(new wxStaticLine(this), 0, wxEXPAND);
    frame->Add(status_->Lay(gap.x), 0, wxEXPAND | wxALL, margin);

    // No SetSizerAndFit: wxGTK would fit the window to the sizer once more
    // when it is shown, with sizes it has not measured yet.
    SetSizer(frame);
    // Wide enough for a segment file's whole path; on a small screen or at a
    // large font the boxes give up width first, down to kNarrowestBox.
    wxTextCtrl& firstFile = Box(IDC_FIRST_FILE);
    const int pathWidth = std::max(ConvertDialogToPixels(wxSize(202, 0)).x,
                                   firstFile.GetTextExtent(kTypicalSegmentPath).x + 2 * gap.x);
    firstFile.SetMinSize(wxSize(pathWidth, -1));
    // Not ComputeFittingWindowSize: it never answers wider than the screen.
    const int excess =
        ClientToWindowSize(frame->GetMinSize()).x - wxDisplay(this).GetClientArea().width;
    const int narrowest = ConvertDialogToPixels(wxSize(kNarrowestBox, 0)).x;
    firstFile.SetMinSize(wxSize(std::max(narrowest, pathWidth - std::max(0, excess)), -1));
    const wxSize fitting = frame->ComputeFittingWindowSize(this);
    SetSizeHints(fitting, wxSize(-1, fitting.y));
    SetSize(fitting);
    CentreOnScreen();
}

void CSegweldDlg::BindHandlers() {
    const auto click = [this](void (CSegweldDlg::*handler)()) {
        return [this, handler](wxCommandEvent&) { (this->*handler)(); };
    };
    Bind(wxEVT_BUTTON, click(&CSegweldDlg::OnRun), IDC_RUN);
    Bind(wxEVT_TEXT_ENTER, click(&CSegweldDlg::OnRun), IDC_FIRST_FILE);
    Bind(wxEVT_TEXT_ENTER, click(&CSegweldDlg::OnRun), IDC_OUTPUT_FOLDER);
    Bind(wxEVT_BUTTON, click(&CSegweldDlg::OnBrowseFile), IDC_BROWSE_FILE);
    Bind(wxEVT_BUTTON, click(&CSegweldDlg::OnBrowseFolder), IDC_BROWSE_FOLDER);
    Bind(wxEVT_BUTTON, click(&CSegweldDlg::OnStop), IDC_STOP);
    Bind(wxEVT_BUTTON, click(&CSegweldDlg::OnShowFolder), IDC_SHOW_FOLDER);
    Bind(wxEVT_BUTTON, &CSegweldDlg::OnSysCommand, this, IDC_ABOUT);
    Bind(wxEVT_BUTTON, &CSegweldDlg::OnCloseButton, this, wxID_OK);
    Bind(wxEVT_MENU, &CSegweldDlg::OnSysCommand, this, IDM_ABOUTBOX);
    for (int id : {IDC_FIRST_FILE, IDC_OUTPUT_FOLDER}) {
        Bind(
            wxEVT_TEXT_PASTE,
            [this, id](wxClipboardTextEvent& event) {
                event.Skip();  // the paste itself goes ahead
                CallAfter([this, id] { TrimPastedPath(id); });
            },
            id);
    }
    Bind(wxEVT_CHAR_HOOK, &CSegweldDlg::OnCharHook, this);
    Bind(wxEVT_CONTEXT_MENU, &CSegweldDlg::OnContextMenu, this);
    Bind(wxEVT_CLOSE_WINDOW, &CSegweldDlg::OnClose, this);
    Bind(wxEVT_SIZE, &CSegweldDlg::OnSize, this);
    Bind(wxEVT_SHOW, &CSegweldDlg::OnShow, this);
    Bind(wxEVT_TIMER, &CSegweldDlg::OnLetGoTimer, this);
}

wxTextCtrl& CSegweldDlg::Box(int id) const {
    return dynamic_cast<wxTextCtrl&>(*FindWindow(id));
}

bool CSegweldDlg::UpdateData(bool saveAndValidate) {
    return saveAndValidate ? TransferDataFromWindow() : TransferDataToWindow();
}

std::unique_ptr<wxMenu> CSegweldDlg::CreateSystemMenu() {
    auto menu = std::make_unique<wxMenu>();
    menu->Append(IDM_ABOUTBOX, IDS_ABOUTBOX);
    return menu;
}

// A path pasted with blanks around it (copied from a terminal or a mail)
// names the file without them.
void CSegweldDlg::TrimPastedPath(int id) {
    wxTextCtrl& box = Box(id);
    const wxString trimmed = TextFromPath(TrimmedPath(PathFromText(box.GetValue())));
    if (trimmed != box.GetValue()) {
        box.ChangeValue(trimmed);
        box.SetInsertionPointEnd();
    }
}

// The checks, any message box and the whole join happen in the running
// state; a click or key that arrives meanwhile starts nothing.
void CSegweldDlg::OnRun() {
    if (joining() || !m_runButton->IsEnabled()) {
        return;
    }
    const bool fromRun = FindFocus() == m_runButton;
    SetRunning(true);
    UpdateData(true);
    status_->Clear();
    if (const Refusal refusal = FirstProblem(); !refusal.text.empty()) {
        MessageBox(refusal.text, wxICON_WARNING);
        SetRunning(false);
        Box(refusal.box).SetFocus();
        return;
    }
    if (const std::string why = WhyNotASegmentFile(m_firstFile); !why.empty()) {
        JoinReport report;
        report.error = why;
        ShowOutcome(report);
        Box(IDC_FIRST_FILE).SetFocus();
        return;
    }
    StartJoin(fromRun);
}

// The checks and texts of the original dialog, in its order; a path that
// does not exist is named under the text.
CSegweldDlg::Refusal CSegweldDlg::FirstProblem() const {
    if (m_firstFile.empty()) {
        return {"Please select a file to process.", IDC_FIRST_FILE};
    }
    if (!os::PathExists(m_firstFile)) {
        return {"The input file does not exist.\n\n" + m_firstFile, IDC_FIRST_FILE};
    }
    if (m_outputFolder.empty()) {
        return {"Please select a folder where to write the resulting joined file.",
                IDC_OUTPUT_FOLDER};
    }
    if (!os::PathExists(m_outputFolder)) {
        return {"The output folder does not exist.\n\n" + m_outputFolder, IDC_OUTPUT_FOLDER};
    }
    if (!IsFolder(m_outputFolder)) {
        return {"The output folder " + m_outputFolder + " is a file, not a folder.",
                IDC_OUTPUT_FOLDER};
    }
    return {};
}

// Run!, disabled now, gives the focus to the first path box, read-only
// during the join, where Escape stops it. Not to Stop: wxMSW hands the rest
// of an Enter that pressed Run! on to the button that has the focus by then.
void CSegweldDlg::StartJoin(bool fromRun) {
    status_->ShowJoining();
    if (fromRun) {
        Box(IDC_FIRST_FILE).SetFocus();
    }
    SetTitle(std::string("Joining - ") + kDialogCaption);
    taskbar_ = std::make_unique<wxAppProgressIndicator>(this, 100);
    joinStarted_ = std::chrono::steady_clock::now();
    stopping_ = false;
    worker_.Start(join_, m_firstFile, m_outputFolder, m_fillGaps);
}

void CSegweldDlg::ShowProgress(const JoinProgress& progress) {
    if (stopping_) {
        return;  // "Stopping..." stays until the join has let go
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - joinStarted_;
    const ProgressText text = DescribeProgress(progress, elapsed.count());
    status_->ShowProgress(text.line, text.percent);
    SetTitle(TextFromPath(text.title));
    if (text.percent >= 0) {
        taskbar_->SetValue(text.percent);
    } else {
        taskbar_->Pulse();
    }
}

// Answers at once: the join stops at its next step, and one that does not
// let go within kLetGoPatience is abandoned (OnLetGoTimer).
void CSegweldDlg::OnStop() {
    if (!joining() || stopping_) {
        return;
    }
    stopping_ = true;
    worker_.RequestStop();
    status_->ShowStopping();
    SetTitle(std::string("Stopping... - ") + kDialogCaption);
    letGoTimer_.StartOnce(static_cast<int>(kLetGoPatience.count()));
}

// The join still waits on a read that does not answer. It goes on alone and
// stops at its next step, writing nothing; if the process ends first, the
// dialog mode removes its temporary.
void CSegweldDlg::OnLetGoTimer(wxTimerEvent&) {
    if (!joining()) {
        return;
    }
    worker_.Abandon();
    JoinReport report;
    report.stopped = true;
    report.error = "The join was stopped; nothing was written.";
    ShowOutcome(report);
}

// Every failed join gets a message box as well as the status line; a join
// that the user stopped gets the status line, or nothing when the dialog is
// closing.
void CSegweldDlg::ShowOutcome(const JoinReport& report) {
    letGoTimer_.Stop();
    stopping_ = false;
    taskbar_.reset();
    SetTitle(kDialogCaption);
    if (closeWhenStopped_ != 0) {
        const int returnCode = std::exchange(closeWhenStopped_, 0);
        SetRunning(false);
        if (returnCode == wxID_OK) {
            UpdateData(true);
        }
        EndDialog(returnCode);
        return;
    }
    lastOutput_ = report.outputPath;
    status_->ShowOutcome(OutcomeOf(report), JoinSummaryLines(report),
                         {FolderOf(m_firstFile), m_outputFolder, FolderOf(report.outputPath),
                          FolderOf(report.firstSegmentPath)},
                         JoinSummaryDetails(report), report.written());
    if (!report.written() && !report.stopped) {
        MessageBox(report.FailureText(), wxICON_ERROR);
    }
    SetRunning(false);
}

void CSegweldDlg::SetRunning(bool running) {
    m_runButton->SetLabel(running ? "Wait..." : "&Run!");
    m_runButton->Enable(!running);
    for (int id : {IDC_BROWSE_FILE, IDC_BROWSE_FOLDER, IDC_FILL_GAPS}) {
        FindWindow(id)->Enable(!running);
    }
    for (int id : {IDC_FIRST_FILE, IDC_OUTPUT_FOLDER}) {
        Box(id).SetEditable(!running);
    }
    if (!running) {
        m_runButton->SetFocus();
    }
}

// The window keeps the height its contents need, whatever they show.
void CSegweldDlg::FitHeight() {
    const int height = GetSize().y - GetClientSize().y + GetSizer()->GetMinSize().y;
    if (height != GetSize().y || GetMaxSize().y != height) {
        SetSizeHints(wxSize(GetMinSize().x, height), wxSize(-1, height));
        SetSize(wxSize(GetSize().x, height));
    }
    Layout();
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
    status_->FitLines();
}

void CSegweldDlg::MessageBox(const std::string& text, long icon) {
    wxMessageBox(TextFromPath(text), kDialogCaption, wxOK | icon | wxCENTRE, this);
}

// The file dialog opens in the folder of the file already named, if any, and
// shows the files named as segments are, stored plain or compressed, unless
// the user asks for every file.
void CSegweldDlg::OnBrowseFile() {
    const std::string named = TrimmedPath(PathFromText(Box(IDC_FIRST_FILE).GetValue()));
    const std::string startFolder = named.empty() ? "" : FolderOf(named);
    const wxString segments = "*___-" + wxString('?', 12) + "-" + wxString('?', 2);
    const wxString wildcard = "Segment files, plain or compressed (.bz2, .gz, .xz)|" + segments +
                              ";" + segments + ".bz2;" + segments + ".gz;" + segments +
                              ".xz|All files|" + wxFileSelectorDefaultWildcardStr;
    wxFileDialog dialog(this, wxFileSelectorPromptStr,
                        IsFolder(startFolder) ? TextFromPath(startFolder) : wxString(),
                        wxEmptyString, wildcard, wxFD_OPEN);
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
    Box(IDC_FIRST_FILE).SetInsertionPointEnd();
}

void CSegweldDlg::OnBrowseFolder() {
    UpdateData(true);
    m_outputFolder = ChooseFolder(this, "Choose Destination Folder", m_outputFolder);
    UpdateData(false);
}

void CSegweldDlg::OnShowFolder() {
    std::string error;
    if (!lastOutput_.empty() && !ShowInFolder(lastOutput_, error)) {
        MessageBox(error, wxICON_ERROR);
    }
}

void CSegweldDlg::OnSysCommand(wxCommandEvent&) {
    CAboutDlg about(this);
    about.ShowModal();
}

void CSegweldDlg::OnCharHook(wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE && joining()) {
        OnStop();
    } else if (event.GetKeyCode() == WXK_ESCAPE) {
        // The Cancel button is hidden, and wxWidgets would take Close instead.
        EndDialog(wxID_CANCEL);
    } else if (event.GetModifiers() == wxMOD_ALT && PressAccessKey(event.GetKeyCode())) {
        // taken
    } else if (event.GetKeyCode() == WXK_F1) {
        wxCommandEvent about(wxEVT_MENU, IDM_ABOUTBOX);
        ProcessWindowEvent(about);
    } else {
        event.Skip();
    }
}

// Alt and a letter reach the control whose label marks that letter, wherever
// the focus is: wxMSW's multi-line Details text would keep the keys to itself,
// and its Details pane has no access key of its own.
bool CSegweldDlg::PressAccessKey(int key) {
    const wxString letter = wxString(wxUniChar(key)).Upper();
    if (letter == "D") {
        return status_->ToggleDetails();
    }
    for (wxWindow* child : GetChildren()) {
        if (!child->IsShown() || !child->IsEnabled() ||
            child->GetLabel().AfterFirst('&').Left(1).Upper() != letter) {
            continue;
        }
        if (auto* check = dynamic_cast<wxCheckBox*>(child)) {
            check->SetValue(!check->GetValue());
            check->SetFocus();
        } else if (dynamic_cast<wxButton*>(child) != nullptr) {
            wxCommandEvent click(wxEVT_BUTTON, child->GetId());
            click.SetEventObject(child);
            child->ProcessWindowEvent(click);
        } else if (child->GetNextSibling() != nullptr) {
            child->GetNextSibling()->SetFocus();  // a label: the box after it
        }
        return true;
    }
    return false;
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

// A join that runs is stopped first; the dialog ends when it has let go, or
// when it is abandoned.
void CSegweldDlg::StopAndClose(int returnCode) {
    closeWhenStopped_ = returnCode;
    OnStop();
}

// The session ending (a logout on Windows) cannot wait: the join is left
// behind at once, and its temporary goes with the process.
void CSegweldDlg::OnClose(wxCloseEvent& event) {
    if (!joining()) {
        event.Skip();
        return;
    }
    if (!event.CanVeto()) {
        worker_.Abandon();
        closeWhenStopped_ = 0;
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
