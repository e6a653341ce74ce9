#include "ui/folder_chooser.h"

#include "join/segment_name.h"
#include "join/segment_walk.h"

namespace segweld {

CFolderChooser::CFolderChooser(wxWindow* owner, const std::string& root, const std::string& title) {
    SetOwner(owner);
    SetRoot(root);
    SetTitle(title);
    m_browseInfo.callback = &CFolderChooser::BrowseCallback;
    m_browseInfo.data = this;
}

void CFolderChooser::SetOwner(wxWindow* owner) {
    if (!BrowserOpen()) {
        m_browseInfo.owner = owner;
    }
}

void CFolderChooser::SetRoot(const std::string& root) {
    if (!BrowserOpen()) {
        m_browseInfo.root = root;
    }
}

void CFolderChooser::SetTitle(const std::string& title) {
    if (!BrowserOpen()) {
        m_browseInfo.title = title;
    }
}

void CFolderChooser::SetFlags(unsigned flags) {
    if (!BrowserOpen()) {
        m_browseInfo.flags = flags;
    }
}

void CFolderChooser::SetInitialFolder(const std::string& folder) {
    m_initialFolder = folder;
}

bool CFolderChooser::Browse() {
    bool confirmed = false;
    {
        FolderBrowser browser(m_browseInfo);
        if (browser.ShowModal() == wxID_OK) {
            m_displayName = browser.PathOfItem(browser.HighlightedItem());
            confirmed = !m_displayName.empty();
        }
    }
    m_hwndBrowse = nullptr;
    return confirmed;
}

std::string CFolderChooser::GetSelectedPath() const {
    return m_displayName;
}

void CFolderChooser::SetSelection(const std::string& path) {
    if (BrowserOpen()) {
        m_hwndBrowse->SelectFolder(path);
    }
}

void CFolderChooser::SetStatusText(const std::string& text) {
    if (BrowserOpen()) {
        m_hwndBrowse->SetStatusText(text);
    }
}

// A folder that does not exist leaves the highlight on the deepest folder of
// it that does; the status line then shows that one, which OK would return.
void CFolderChooser::OnInitialized() {
    SetSelection(m_initialFolder);
    if (m_initialFolder.empty() || PathExists(m_initialFolder)) {
        SetStatusText(m_initialFolder);
    } else {
        SetStatusText(m_hwndBrowse->PathOfItem(m_hwndBrowse->HighlightedItem()));
    }
}

void CFolderChooser::OnSelectionChanged(wxTreeItemId item) {
    SetStatusText(m_hwndBrowse->PathOfItem(item));
}

int CFolderChooser::BrowseCallback(FolderBrowser* browser, int notification, wxTreeItemId item,
                                   void* data) {
    auto* chooser = static_cast<CFolderChooser*>(data);
    chooser->m_hwndBrowse = browser;
    if (notification == kBrowserInitialized) {
        chooser->OnInitialized();
    } else if (notification == kBrowserSelectionChanged) {
        chooser->OnSelectionChanged(item);
    }
    return 0;
}

std::string ChooseFolder(wxWindow* owner, const std::string& title,
                         const std::string& initialFolder) {
    CFolderChooser chooser(owner, "", title);
    chooser.SetFlags(kBrowseOnlyFileSystemFolders | kBrowseStatusText);
    std::string folder = initialFolder;
    if (!folder.empty() && !IsFolderSeparator(folder.back())) {
        folder += kFolderSeparator;
    }
    chooser.SetInitialFolder(folder);
    if (chooser.Browse()) {
        return chooser.GetSelectedPath();
    }
    return initialFolder;
}

}  // namespace segweld
