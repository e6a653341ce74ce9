#include "ui/folder_browser.h"

#include <wx/button.h>
#include <wx/dirctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/treectrl.h>

#include "ui/path_text.h"

namespace segweld {
namespace {

// A folder tree whose only top item is `root`, or the whole file system when
// `root` is empty.
class RootedDirCtrl : public wxGenericDirCtrl {
  public:
    RootedDirCtrl(wxWindow* parent, const std::string& root) : root_(TextFromPath(root)) {
        // Two-step creation, so that Create reaches the SetupSections below.
        Create(parent, wxID_ANY, root_, wxDefaultPosition, wxDefaultSize,
               long{wxDIRCTRL_DIR_ONLY} | wxBORDER_SUNKEN);
    }

  protected:
    void SetupSections() override {
        if (root_.empty()) {
            wxGenericDirCtrl::SetupSections();
            return;
        }
        AddSection(root_, root_);
    }

  private:
    wxString root_;
};

}  // namespace

FolderBrowser::FolderBrowser(const FolderBrowseInfo& info)
    : wxDialog(info.owner, wxID_ANY, "Browse For Folder", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      info_(info) {
    title_ = new wxStaticText(this, wxID_ANY, wxEmptyString);
    title_->SetLabelText(TextFromPath(info.title));
    tree_ = new RootedDirCtrl(this, info.root);
    if ((info.flags & kBrowseStatusText) != 0) {
        statusLine_ = new wxStaticText(this, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                       wxDefaultSize, wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_MIDDLE);
    }
    Lay(title_);
    Bind(wxEVT_INIT_DIALOG, &FolderBrowser::OnInitDialog, this);
    Bind(wxEVT_DIRCTRL_SELECTIONCHANGED, &FolderBrowser::OnHighlightChanged, this);
    EnableConfirmation();
}

// The tree outlives this object's own part of the destruction; it must not
// reach the handlers of a half-destroyed browser.
FolderBrowser::~FolderBrowser() {
    Unbind(wxEVT_DIRCTRL_SELECTIONCHANGED, &FolderBrowser::OnHighlightChanged, this);
}

void FolderBrowser::Lay(wxStaticText* title) {
    const wxSize margin = ConvertDialogToPixels(wxSize(7, 4));
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(title, 0, wxEXPAND | wxBOTTOM, margin.y);
    column->Add(tree_, 1, wxEXPAND);
    tree_->SetMinSize(ConvertDialogToPixels(wxSize(200, 160)));
    if (statusLine_ != nullptr) {
        statusLine_->SetMinSize(wxSize(-1, GetCharHeight()));
        column->Add(statusLine_, 0, wxEXPAND | wxTOP, margin.y);
    }
    column->Add(CreateSeparatedButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxTOP, margin.y);

    auto* frame = new wxBoxSizer(wxVERTICAL);
    frame->Add(column, 1, wxEXPAND | wxALL, margin.x);
    SetSizerAndFit(frame);
    CentreOnParent();
}

wxTreeItemId FolderBrowser::HighlightedItem() const {
    return tree_->GetTreeCtrl()->GetSelection();
}

std::string FolderBrowser::PathOfItem(wxTreeItemId item) const {
    if (!item.IsOk()) {
        return "";
    }
    const auto* folder = dynamic_cast<wxDirItemData*>(tree_->GetTreeCtrl()->GetItemData(item));
    if (folder == nullptr || !folder->m_isDir) {
        return "";
    }
    return PathFromText(folder->m_path);
}

void FolderBrowser::SelectFolder(const std::string& folder) {
    if (!folder.empty()) {
        tree_->ExpandPath(TextFromPath(folder));
        RevealHighlight();
    }
}

// Scrolls the tree so that the highlighted folder shows below as much of the
// path that leads to it as fits, from the top folder of its branch on.
void FolderBrowser::RevealHighlight() {
    wxTreeCtrl& tree = *tree_->GetTreeCtrl();
    const wxTreeItemId highlighted = HighlightedItem();
    if (!highlighted.IsOk()) {
        return;
    }
    wxTreeItemId top = highlighted;
    while (tree.GetItemParent(top).IsOk() && tree.GetItemParent(top) != tree.GetRootItem()) {
        top = tree.GetItemParent(top);
    }
    tree.ScrollTo(top);
    tree.EnsureVisible(highlighted);
}

void FolderBrowser::SetStatusText(const std::string& text) {
    if (statusLine_ != nullptr) {
        statusLine_->SetLabelText(TextFromPath(text));
    }
}

std::string FolderBrowser::TitleText() const {
    return PathFromText(title_->GetLabelText());
}

std::string FolderBrowser::StatusText() const {
    return statusLine_ != nullptr ? PathFromText(statusLine_->GetLabelText()) : "";
}

void FolderBrowser::Notify(int notification, wxTreeItemId item) {
    if (info_.callback != nullptr) {
        info_.callback(this, notification, item, info_.data);
    }
}

void FolderBrowser::OnInitDialog(wxInitDialogEvent& event) {
    event.Skip();
    initialized_ = true;
    Notify(kBrowserInitialized, wxTreeItemId());
    // The arrow keys move the highlight at once.
    tree_->GetTreeCtrl()->SetFocus();
}

// The tree highlights a folder while it is being built, before anyone is told
// that the browser is open; those changes are not passed on.
void FolderBrowser::OnHighlightChanged(wxTreeEvent& event) {
    EnableConfirmation();
    if (initialized_) {
        Notify(kBrowserSelectionChanged, event.GetItem());
    }
}

void FolderBrowser::EnableConfirmation() {
    wxWindow* ok = FindWindow(wxID_OK);
    if (ok != nullptr && (info_.flags & kBrowseOnlyFileSystemFolders) != 0) {
        ok->Enable(!PathOfItem(HighlightedItem()).empty());
    }
}

}  // namespace segweld
