#include "ui/folder_chooser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wx/dirctrl.h>
#include <wx/frame.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>

#include "join/segment_name.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/modal_script.h"

namespace segweld {
namespace {

using namespace segweld::test;

// "a root" for the top of a whole file system: "/", or a drive such as "C:\\".
std::string RootOrPath(const std::string& path) {
    const std::filesystem::path folder(path);
    return !path.empty() && folder == folder.root_path() ? "a root" : path;
}

// Looks at the browser as it opens, does `meanwhile`, then ends it with `id`. `seen`: its title,
// status line, highlighted folder, last folder at the top of the tree and owner, between bars.
ModalScript::Answer LookAndEnd(
    std::string& seen, int id, std::function<void()> meanwhile = [] {}) {
    return RunAndDo([&seen, id, meanwhile](wxDialog& shown) {
        auto& browser = dynamic_cast<FolderBrowser&>(shown);
        EXPECT_TRUE(browser.HasStatusLine());
        wxTreeCtrl& tree = *browser.Tree()->GetTreeCtrl();
        const wxWindow* owner = browser.GetParent();
        seen = browser.TitleText() + "|" + browser.StatusText() + "|" +
               RootOrPath(browser.PathOfItem(browser.HighlightedItem())) + "|" +
               RootOrPath(browser.PathOfItem(tree.GetLastChild(tree.GetRootItem()))) + "|" +
               (owner ? PathFromText(owner->GetLabel()) : "no owner");
        meanwhile();
        shown.EndModal(id);
    });
}

class FolderChooserTest : public ::testing::Test {
  protected:
    TempFolder scratch;
    std::string data = MakeFolder(scratch.path(), "data");
    std::string inner = MakeFolder(scratch.path(), "data/inner");
    std::string data_ = data + kFolderSeparator;  // as the dialog hands it over
    wxFrame owner{nullptr, wxID_ANY, "owner"};
};

TEST_F(FolderChooserTest, OpensOnTheInitialFolderAndReturnsTheConfirmedOneOrTheInitialAsGiven) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {data, data_, data},
        {data_, data_, data},
        {"", "", "a root"},
        // The status line shows what OK would return: the deepest folder that exists.
        {data_ + "gone" + kFolderSeparator + "deeper", data, data},
    };
    for (const auto& [initial, status, highlighted] : cases) {
        for (const int answer : {wxID_CANCEL, wxID_OK}) {
            SCOPED_TRACE("initial folder \"" + initial + "\", answer " + std::to_string(answer));
            ModalScript user;
            std::string seen;
            user.Then(LookAndEnd(seen, answer));

            EXPECT_EQ(RootOrPath(ChooseFolder(&owner, "Pick one", initial)),
                      answer == wxID_OK ? highlighted : initial);

            // The top of the tree: the whole file system.
            EXPECT_EQ(seen, "Pick one|" + status + "|" + highlighted + "|a root|owner");
        }
    }
}

// Also run at a 15-point font (CMakeLists.txt).
TEST_F(FolderChooserTest, KeyboardStartsInTheTreeWhoseHighlightTheStatusFollowsAndTabReachesOk) {
    std::vector<int> focused;  // the ids of the windows that had the focus, in turn
    int tree = wxID_NONE;
    ModalScript user;
    user.Then(RunAndDo([&](wxDialog& shown) {
        auto& browser = dynamic_cast<FolderBrowser&>(shown);
        wxUIActionSimulator keys;
        tree = browser.Tree()->GetTreeCtrl()->GetId();
        const auto focus = [] {
            return wxWindow::FindFocus() ? wxWindow::FindFocus()->GetId() : 0;
        };
        PumpUntil([&] { return focus() == tree; });
        keys.Char(WXK_DOWN);
        EXPECT_TRUE(PumpUntil([&] { return browser.StatusText() == inner; }));
        for (int press = 0; press < 4; ++press) {
            focused.push_back(focus());
            keys.Char(WXK_TAB);
            PumpUntil([&] { return focus() != focused.back(); });
        }
        shown.EndModal(wxID_OK);
    }));

    EXPECT_EQ(ChooseFolder(&owner, "Pick one", data), inner);

    EXPECT_EQ(focused.at(0), tree);
    EXPECT_THAT(focused, ::testing::IsSupersetOf({wxID_OK, wxID_CANCEL}));
}

TEST_F(FolderChooserTest, SettingsAreFrozenWhileTheBrowserIsOpenButTheInitialFolderIsNot) {
    CFolderChooser chooser(&owner, "", "Original");
    chooser.SetFlags(kBrowseOnlyFileSystemFolders | kBrowseStatusText);
    chooser.SetInitialFolder(data_);
    chooser.SetStatusText("ignored: no browser is open");
    chooser.SetSelection(scratch.path().string());
    const auto changeEverySetting = [&] {
        chooser.SetOwner(nullptr);
        chooser.SetRoot(inner);
        chooser.SetTitle("Changed");
        chooser.SetFlags(0);
        chooser.SetInitialFolder(inner + kFolderSeparator);
    };
    std::string first, second;
    ModalScript user;
    user.Then(LookAndEnd(first, wxID_CANCEL, changeEverySetting)).Then(LookAndEnd(second, wxID_OK));

    EXPECT_FALSE(chooser.Browse());
    chooser.SetRoot(data);  // the browser is closed again
    EXPECT_TRUE(chooser.Browse());

    EXPECT_EQ(first, "Original|" + data_ + "|" + data + "|a root|owner");
    EXPECT_EQ(second, "Original|" + inner + kFolderSeparator + "|" + inner + "|" + data + "|owner");
    EXPECT_EQ(chooser.GetSelectedPath(), inner);
}

}  // namespace
}  // namespace segweld
