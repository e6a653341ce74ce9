#pragma once

#include <wx/dialog.h>
#include <wx/treebase.h>

#include <string>

class wxGenericDirCtrl;
class wxStaticText;
class wxTreeEvent;

namespace segweld {

class FolderBrowser;

// What a folder browser tells its callback while it is open.
inline constexpr int kBrowserInitialized = 1;       // the window exists and is shown
inline constexpr int kBrowserSelectionChanged = 2;  // the highlight moved to the item given

// Browse flags.
inline constexpr unsigned kBrowseOnlyFileSystemFolders = 0x0001;  // OK only on a folder with a path
inline constexpr unsigned kBrowseStatusText = 0x0004;             // a status line under the tree

using FolderBrowseCallback = int (*)(FolderBrowser* browser, int notification, wxTreeItemId item,
                                     void* data);

// What one browse shows, and whom it tells what happens.
struct FolderBrowseInfo {
    wxWindow* owner = nullptr;
    std::string root;   // the folder at the top of the tree; empty for the whole file system
    std::string title;  // the text above the tree
    unsigned flags = 0;
    FolderBrowseCallback callback = nullptr;
    void* data = nullptr;
};

// A modal dialog in which the user highlights a folder in a tree of folders
// and confirms it with OK. Its callback hears kBrowserInitialized once the
// dialog is shown, then kBrowserSelectionChanged at every change of the
// highlight, on the thread that runs ShowModal.
class FolderBrowser : public wxDialog {
  public:
    explicit FolderBrowser(const FolderBrowseInfo& info);
    ~FolderBrowser() override;

    wxTreeItemId HighlightedItem() const;
    // The folder path of `item`, or empty when it has none.
    std::string PathOfItem(wxTreeItemId item) const;

    // Highlights `folder`, or the deepest folder of it that exists, and opens the
    // tree down to it. An empty path leaves the highlight where it is.
    void SelectFolder(const std::string& folder);
    void SetStatusText(const std::string& text);

    std::string TitleText() const;
    std::string StatusText() const;
    bool HasStatusLine() const { return statusLine_ != nullptr; }
    wxGenericDirCtrl* Tree() const { return tree_; }

  private:
    void Lay(wxStaticText* title);
    void RevealHighlight();
    void Notify(int notification, wxTreeItemId item);
    void OnInitDialog(wxInitDialogEvent& event);
    void OnHighlightChanged(wxTreeEvent& event);
    void EnableConfirmation();

    FolderBrowseInfo info_;
    wxStaticText* title_ = nullptr;
    wxGenericDirCtrl* tree_ = nullptr;
    wxStaticText* statusLine_ = nullptr;
    bool initialized_ = false;
};

}  // namespace segweld
