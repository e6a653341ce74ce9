#pragma once

#include <wx/treebase.h>

#include <string>

#include "ui/folder_browser.h"

class wxWindow;

namespace segweld {

// Opens a folder browser on an initial folder and, while it is open, shows the
// path of the highlighted folder as the browser's status text. The browse
// settings (owner, root, title, flags) cannot change while the browser is open.
class CFolderChooser {
  public:
    // `root` is the folder at the top of the tree; empty for the whole file system.
    CFolderChooser(wxWindow* owner, const std::string& root, const std::string& title);
    virtual ~CFolderChooser() = default;
    CFolderChooser(const CFolderChooser&) = delete;
    CFolderChooser& operator=(const CFolderChooser&) = delete;

    void SetOwner(wxWindow* owner);
    void SetRoot(const std::string& root);
    void SetTitle(const std::string& title);
    void SetFlags(unsigned flags);
    void SetInitialFolder(const std::string& folder);

    // Runs the browser modally. True when the user confirmed a folder that has
    // a file-system path, which GetSelectedPath then gives.
    bool Browse();
    std::string GetSelectedPath() const;

    // Act on the open browser only; without one they do nothing.
    void SetSelection(const std::string& path);
    void SetStatusText(const std::string& text);

  protected:
    // The browser is open: it highlights the initial folder and shows it as status.
    virtual void OnInitialized();
    // The highlight moved to `item`: the status line follows it.
    virtual void OnSelectionChanged(wxTreeItemId item);

  private:
    static int BrowseCallback(FolderBrowser* browser, int notification, wxTreeItemId item,
                              void* data);
    bool BrowserOpen() const { return m_hwndBrowse != nullptr; }

    FolderBrowseInfo m_browseInfo;
    std::string m_displayName;
    FolderBrowser* m_hwndBrowse = nullptr;
    std::string m_initialFolder;
};

// Lets the user choose a folder, starting at `initialFolder`. Returns the folder
// confirmed, or `initialFolder` exactly as given when the user cancels.
std::string ChooseFolder(wxWindow* owner, const std::string& title,
                         const std::string& initialFolder);

}  // namespace segweld
