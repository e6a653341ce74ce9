#include "ui/folder_chooser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wx/dirctrl.h>
#include <wx/frame.h>
#include <wx/treectrl.h>

#include "tests/ui/modal_script.h"
#include "tests/ui/scratch_folder.h"

namespace segweld {
namespace {

using test::As;
using test::ModalScript;
using test::RunAndDo;
using ::testing::Contains;

// What the user saw when the browser opened, and then did.
struct Visit {
    std::string title;
    std::string status;
    std::string highlighted;
    bool hasStatusLine = false;
    wxWindow* owner = nullptr;
    std::vector<std::string> topFolders;
};

Visit Look(FolderBrowser& browser) {
    Visit visit;
    visit.title = browser.TitleText();
    visit.status = browser.StatusText();
    visit.highlighted = browser.PathOfItem(browser.HighlightedItem());
    visit.hasStatusLine = browser.HasStatusLine();
    visit.owner = browser.GetParent();
    wxTreeCtrl& tree = *browser.Tree()->GetTreeCtrl();
    wxTreeItemIdValue cookie;
    for (wxTreeItemId item = tree.GetFirstChild(tree.GetRootItem(), cookie); item.IsOk();
         item = tree.GetNextChild(tree.GetRootItem(), cookie)) {
        visit.topFolders.push_back(browser.PathOfItem(item));
    }
    return visit;
}

// Looks at the browser as it opens, then ends it with `id`.
ModalScript::Answer LookAndEnd(Visit& visit, int id) {
    return RunAndDo([&visit, id](wxDialog& shown) {
        visit = Look(As<FolderBrowser>(shown));
        shown.EndModal(id);
    });
}

class FolderChooserTest : public ::testing::Test {
  protected:
    test::ScratchFolder scratch;
    std::string data = scratch.MakeFolder("data");
    std::string inner = scratch.MakeFolder("data/inner");
    wxFrame owner{nullptr, wxID_ANY, "owner"};
};

TEST_F(FolderChooserTest, OpensOnTheInitialFolderWithSeparatorAndCancelReturnsItAsGiven) {
    struct Case {
        std::string initial;
        std::string status;
        std::string highlighted;
    };
    const std::vector<Case> cases = {
        {data, data + "/", data},
        {data + "/", data + "/", data},
        {"", "", "/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("initial folder \"" + c.initial + "\"");
        ModalScript user;
        Visit visit;
        user.Then(LookAndEnd(visit, wxID_CANCEL));

        EXPECT_EQ(ChooseFolder(&owner, "Pick one", c.initial), c.initial);

        EXPECT_EQ(visit.status, c.status);
        EXPECT_EQ(visit.highlighted, c.highlighted);
        EXPECT_EQ(visit.title, "Pick one");
        EXPECT_EQ(visit.owner, &owner);
        EXPECT_TRUE(visit.hasStatusLine);
        EXPECT_THAT(visit.topFolders, Contains("/")) << "the whole file system";
    }
}

TEST_F(FolderChooserTest, ConfirmingReturnsTheHighlightedFolderWhichTheStatusLineFollows) {
    const std::string odd = scratch.MakeFolder("a&b c");
    std::vector<std::string> statusAfterMove;
    {
        ModalScript user;
        user.Then(RunAndDo([&](wxDialog& shown) { shown.EndModal(wxID_OK); }));
        EXPECT_EQ(ChooseFolder(&owner, "Pick one", data + "/"), data);
    }
    ModalScript user;
    user.Then(RunAndDo([&](wxDialog& shown) {
        auto& browser = As<FolderBrowser>(shown);
        for (const std::string& folder : {inner, odd, scratch.path()}) {
            browser.Tree()->SelectPath(folder);
            statusAfterMove.push_back(browser.StatusText());
        }
        shown.EndModal(wxID_OK);
    }));
    EXPECT_EQ(ChooseFolder(&owner, "Pick one", data), scratch.path());
    EXPECT_EQ(statusAfterMove, (std::vector<std::string>{inner, odd, scratch.path()}));
}

// Changes every setting from inside the open browser, as the callback may.
class MeddlingChooser : public CFolderChooser {
  public:
    using CFolderChooser::CFolderChooser;
    std::string root;
    std::string initialFolder;

  protected:
    void OnInitialized() override {
        SetOwner(nullptr);
        SetRoot(root);
        SetTitle("Changed");
        SetFlags(0);
        SetInitialFolder(initialFolder);
        CFolderChooser::OnInitialized();
    }
};

TEST_F(FolderChooserTest, SettingsAreFrozenWhileTheBrowserIsOpenButTheInitialFolderIsNot) {
    MeddlingChooser chooser(&owner, "", "Original");
    chooser.SetFlags(kBrowseOnlyFileSystemFolders | kBrowseStatusText);
    chooser.SetInitialFolder(data + "/");
    chooser.root = data;
    chooser.initialFolder = inner + "/";
    chooser.SetStatusText("ignored: no browser is open");
    chooser.SetSelection(scratch.path());

    Visit first;
    Visit second;
    ModalScript user;
    user.Then(LookAndEnd(first, wxID_CANCEL)).Then(LookAndEnd(second, wxID_CANCEL));
    EXPECT_FALSE(chooser.Browse());
    EXPECT_FALSE(chooser.Browse());

    EXPECT_EQ(first.status, inner + "/");
    EXPECT_EQ(first.highlighted, inner);
    for (const Visit& visit : {first, second}) {
        EXPECT_EQ(visit.title, "Original");
        EXPECT_EQ(visit.owner, &owner);
        EXPECT_TRUE(visit.hasStatusLine);
        EXPECT_THAT(visit.topFolders, Contains("/")) << "the whole file system";
    }
}

TEST_F(FolderChooserTest, RootMakesOneFolderTheTopOfTheTree) {
    CFolderChooser chooser(&owner, data, "Inside data");
    chooser.SetFlags(kBrowseStatusText);
    chooser.SetInitialFolder(inner);
    Visit visit;
    ModalScript user;
    user.Then(LookAndEnd(visit, wxID_OK));

    ASSERT_TRUE(chooser.Browse());

    EXPECT_EQ(visit.topFolders, std::vector<std::string>{data});
    EXPECT_EQ(visit.highlighted, inner);
    EXPECT_EQ(chooser.GetSelectedPath(), inner);
}

}  // namespace
}  // namespace segweld
