#include "ui/segweld_dlg.h"

#include <gtest/gtest.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "join/segment_name.h"
#include "tests/support/product_files.h"
#include "tests/ui/modal_script.h"
#include "ui/folder_browser.h"
#include "ui/path_text.h"

namespace segweld {
namespace {

using namespace segweld::test;

constexpr char kIdle[] = "Run! enabled";
constexpr char kRunning[] = "Wait... disabled";
constexpr int kNoHold = 1 << 30;

class SegweldDlgTest : public ::testing::Test {
  protected:
    SegweldDlgTest() {
        dialog.Show();  // a hidden window cannot own message boxes
        PumpUntil([] { return true; });
    }
    ~SegweldDlgTest() override { Hold(kNoHold); }

    wxTextCtrl& Box(int id) { return dynamic_cast<wxTextCtrl&>(*dialog.FindWindow(id)); }
    std::string Text(int id) { return PathFromText(Box(id).GetValue()); }
    void TypeBoth(const std::string& file, const std::string& folder) {
        Box(IDC_FIRST_FILE).ChangeValue(TextFromPath(file));
        Box(IDC_OUTPUT_FOLDER).ChangeValue(TextFromPath(folder));
    }
    std::string RunButton() {
        const wxWindow& run = *dialog.FindWindow(IDC_RUN);
        return PathFromText(run.GetLabel()) + (run.IsEnabled() ? " enabled" : " disabled");
    }
    wxStaticText& Status() { return dynamic_cast<wxStaticText&>(*dialog.FindWindow(IDC_STATUS)); }
    std::string StatusLine() { return PathFromText(Status().GetLabelText()); }
    void ExpectIdleWithFocusOnRun() {
        EXPECT_EQ(RunButton(), kIdle);
        EXPECT_EQ(wxWindow::FindFocus(), dialog.FindWindow(IDC_RUN));
    }

    void Click(int id) {
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(dialog.FindWindow(id));
        dialog.FindWindow(id)->GetEventHandler()->ProcessEvent(click);
    }
    void PressKey(int key) {
        wxKeyEvent press(wxEVT_CHAR_HOOK);
        press.m_keyCode = key;
        dialog.GetEventHandler()->ProcessEvent(press);
    }
    void RunToTheEnd() {
        Click(IDC_RUN);
        EXPECT_TRUE(PumpUntil([&] { return !dialog.joining(); }));
    }

    // The join holds at each progress report beyond the first `reports`.
    void Hold(int reports) {
        std::lock_guard lock(mutex_);
        allowed_ = reports;
        changed_.notify_all();
    }
    JoinReport Join(std::string file, std::string folder, const JoinOptions& options) {
        ++joins;
        if (fakeJoin) {
            return fakeJoin();
        }
        JoinOptions held = options;
        held.progress = [&](const JoinProgress& progress) {
            std::unique_lock lock(mutex_);
            ++arrivals_;
            changed_.wait(lock, [&] { return arrivals_ <= allowed_; });
            return options.progress(progress);
        };
        return JoinSegments(std::move(file), std::move(folder), held);
    }

    ProductFolders product;  // segments of a product of eight; none written yet
    std::string existingFile = product.Path(1);
    std::string existingFolder = product.output.path().string();
    std::string missing = product.input / "missing";
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<int> arrivals_ = 0;  // progress reports that reached the hold
    int allowed_ = kNoHold;
    std::function<JoinReport()> fakeJoin;  // on the join's thread: touches nothing else
    std::atomic<int> joins = 0;
    CSegweldDlg dialog{nullptr, std::bind_front(&SegweldDlgTest::Join, this)};
};

// Also run at a 15-point font (CMakeLists.txt).
TEST_F(SegweldDlgTest, LayoutFitsEveryTextAndGrowsInWidthOnly) {
    if (const char* points = std::getenv("SEGWELD_TEST_FONT_POINTS")) {
        ASSERT_EQ(dialog.GetFont().GetPointSize(), std::atoi(points));
    }
    EXPECT_TRUE(dialog.GetDefaultItem() == dialog.FindWindow(wxID_OK) &&
                !dialog.FindWindow(wxID_CANCEL)->IsShown());
    const auto checkNothingClipped = [&] {
        std::vector<wxWindow*> shown;
        for (wxWindow* child : dialog.GetChildren()) {
            if (child->IsShown()) {
                SCOPED_TRACE(PathFromText(child->GetLabel()));
                const wxRect rect = child->GetRect();
                EXPECT_GE(rect.height, child->GetBestSize().y);
                EXPECT_GE(rect.width, child->GetTextExtent(child->GetLabel()).x);
                EXPECT_TRUE(wxRect(dialog.GetClientSize()).Contains(rect));
                for (wxWindow* other : shown) {
                    EXPECT_FALSE(rect.Intersects(other->GetRect())) << other->GetLabel();
                }
                shown.push_back(child);
            }
        }
        // The underscores of an HRIT name must show inside the box.
        EXPECT_GE(Box(IDC_FIRST_FILE).GetSize().y,
                  Box(IDC_FIRST_FILE).GetTextExtent(test::kWorkedExample).y + 4);
    };
    checkNothingClipped();
    const wxSize laidOut = dialog.GetSize();
    const int boxWidth = Box(IDC_OUTPUT_FOLDER).GetSize().x;
    dialog.SetSize(laidOut + wxSize(300, 300));
    EXPECT_EQ(dialog.GetSize(), laidOut + wxSize(300, 0));
    EXPECT_EQ(Box(IDC_OUTPUT_FOLDER).GetSize().x, boxWidth + 300);
    checkNothingClipped();
    dialog.SetSize(laidOut - wxSize(100, 0));
    EXPECT_EQ(dialog.GetSize(), laidOut);
}

TEST_F(SegweldDlgTest, EveryRefusedOrFailedRunShowsAMessageBoxAndGivesTheFocusBackToRun) {
    product.WriteSeries(1, 1, 4);
    const std::string folder = product.inputFolder;
    const std::string isFolder =
        "Nothing joined: the first file " + folder + " is a folder, not a segment file.";
    JoinReport outputFailed, nothingJoined;
    outputFailed.error = "Cannot create the output in /out: No space left on device";
    nothingJoined.firstSegmentPath = "/in/H-000001";
    struct Case {
        std::string file, folder, message;
        bool onStatusLine = false;                   // a failed join, not a refused run
        std::function<JoinReport()> join = nullptr;  // on the join's thread; none: not joined
    };
    const Case cases[] = {
        {"", "", "Please select a file to process."},
        {"", missing, "Please select a file to process."},
        {existingFile, "", "Please select a folder where to write the resulting joined file."},
        {missing, "", "The input file does not exist."},
        {existingFile, missing, "The output folder does not exist."},
        {folder, existingFolder, isFolder, true},
        {existingFile, existingFolder, outputFailed.error, true, [&] { return outputFailed; }},
        {existingFile, existingFolder, nothingJoined.FailureText(), true,
         [&] { return nothingJoined; }},
        {existingFile, existingFolder, "The join stopped: out of memory", true,
         []() -> JoinReport { throw std::runtime_error("out of memory"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("file \"" + c.file + "\", folder \"" + c.folder + "\": " + c.message);
        fakeJoin = c.join;
        const int joinsBefore = joins;
        TypeBoth(c.file, c.folder);
        std::string buttonAtMessage;
        ModalScript user;
        user.Then([&](wxDialog&) { return buttonAtMessage = RunButton(), wxID_OK; });

        RunToTheEnd();

        EXPECT_EQ(user.shown(), (std::vector<ShownDialog>{{"segweld", c.message, &dialog}}));
        EXPECT_EQ(buttonAtMessage, kRunning);
        ExpectIdleWithFocusOnRun();
        EXPECT_EQ(StatusLine(), c.onStatusLine ? c.message : "");
        EXPECT_EQ(joins - joinsBefore, c.join ? 1 : 0);
        EXPECT_EQ(Text(IDC_FIRST_FILE) + "|" + Text(IDC_OUTPUT_FOLDER), c.file + "|" + c.folder);
    }
}

TEST_F(SegweldDlgTest, AJoinShowsProgressAndStopsOnStopEscapeCloseOrTheCloseBoxWritingNothing) {
    product.WriteSeries(1, 3, 16);
    // How the user acts; during a join or not; what the dialog ends with (0: it stays open).
    const std::tuple<std::string, bool, int> cases[] = {{"Escape", false, wxID_CANCEL},
                                                        {"Close", false, wxID_OK},
                                                        {"Stop", true, 0},
                                                        {"Escape", true, 0},
                                                        {"Close", true, wxID_OK},
                                                        {"close box", true, wxID_CANCEL},
                                                        {"Escape, then Close", true, wxID_OK}};
    dialog.Hide();
    for (const auto& [how, joining, returnCode] : cases) {
        SCOPED_TRACE(how + (joining ? " during a join" : ""));
        dialog.m_firstFile = "";
        const int joinsBefore = joins;
        ModalScript user;
        user.Then(RunAndDo([&](wxDialog&) {
            TypeBoth(joining ? existingFile : "file", existingFolder);
            if (joining) {
                Hold(arrivals_ + 3);  // before segment 1, after its data, before segment 2
                Click(IDC_RUN);
                ASSERT_TRUE(PumpUntil([&] {
                    return arrivals_ > allowed_ &&
                           StatusLine().find("segment 2") != std::string::npos;
                }));
                EXPECT_EQ(StatusLine(), "Joining segment 2 of 8: 16 bytes written");
                const auto& gauge = dynamic_cast<wxGauge&>(*dialog.FindWindow(IDC_PROGRESS));
                EXPECT_TRUE(gauge.IsShown() && dialog.FindWindow(IDC_STOP)->IsShown());
                EXPECT_EQ(gauge.GetValue() * 8, gauge.GetRange());
                EXPECT_EQ(RunButton(), kRunning);
                Click(IDC_RUN);  // neither this nor Enter starts another join
                PressKey(WXK_RETURN);
            }
            how.starts_with("Escape") ? PressKey(WXK_ESCAPE) : void();
            how == "Stop" ? Click(IDC_STOP) : void();
            how.ends_with("Close") ? Click(wxID_OK) : void();
            how == "close box" ? (void)dialog.Close() : void();
            EXPECT_EQ(StillOpen(dialog), joining) << "ended before the join stopped";
            Hold(kNoHold);
            PumpUntil([&] { return !dialog.joining() && (returnCode == 0 || !StillOpen(dialog)); });
            if (returnCode == 0) {
                EXPECT_EQ(StatusLine(), "The join was stopped; nothing was written.");
                EXPECT_FALSE(dialog.FindWindow(IDC_STOP)->IsShown());
                ExpectIdleWithFocusOnRun();
                Click(wxID_OK);
            }
        }));
        EXPECT_EQ(dialog.ShowModal(), returnCode == 0 ? wxID_OK : returnCode);
        EXPECT_TRUE(!dialog.joining() && std::filesystem::is_empty(existingFolder));
        EXPECT_EQ(joins - joinsBefore, joining ? 1 : 0);
        EXPECT_EQ(dialog.m_firstFile.empty(), !joining && returnCode == wxID_CANCEL);
    }
}

TEST_F(SegweldDlgTest, RunJoinsAndShowsVerdictOutputNameAndFirstWarningWhateverTheFolders) {
    const std::string deep = "a-folder-with-a-rather-long-name/" + std::string(120, 'x');
    const std::string output = MakeFolder(product.output.path(), deep + "/out");
    product.WriteSeries(1, 2, 4);
    TypeBoth(existingFile, output);
    ModalScript user;

    RunToTheEnd();

    EXPECT_TRUE(user.shown().empty());
    const std::string name = ListFolder(output).at(0);
    std::string status = StatusLine();
    std::replace(status.begin(), status.end(), '\n', ' ');  // lines break between words only
    for (const std::string& whole : {std::string("Joined 2 segments, 8 bytes, into "),
                                     kFolderSeparator + name + " ", std::string(" 1 warning: ")}) {
        EXPECT_NE(status.find(whole), std::string::npos) << whole << " in " << status;
    }
    EXPECT_TRUE(Status().GetToolTipText().Contains(TextFromPath(output + kFolderSeparator + name)));
    for (const wxString& line : wxSplit(Status().GetLabelText(), '\n', '\0')) {
        EXPECT_LE(Status().GetTextExtent(line).x, Status().GetSize().x) << line;
    }
    ExpectIdleWithFocusOnRun();
}

TEST_F(SegweldDlgTest, BrowseFileAndFolderStartWhereTheBoxesPointAndFillOnlyTheirBoxes) {
    product.WriteSeries(1, 1, 4);
    const std::string inputFolder = product.inputFolder;
    struct Case {
        std::string typedFile, typedFolder, folderMember, startFolder, expectedFolder;
    };
    const Case cases[] = {
        {existingFile, "/member", "/member", inputFolder, "/member"},
        // What the folder box shows counts, whether or not it was taken yet.
        {missing + "/x", "/typed", "/member", "", "/typed"},
        {"", "", "/member", "", inputFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("file box \"" + c.typedFile + "\", folder box \"" + c.typedFolder + "\"");
        dialog.m_outputFolder = c.folderMember;
        dialog.UpdateData(false);
        TypeBoth(c.typedFile, c.typedFolder);
        ModalScript user;
        user.Then([&](wxDialog& shown) {
            auto& files = dynamic_cast<wxFileDialogBase&>(shown);
            EXPECT_EQ(PathFromText(files.GetDirectory()), c.startFolder);
            // No filter, or wxMSW's "All files (*.*)|*.*".
            EXPECT_TRUE(shown.HasFlag(wxFD_OPEN));
            EXPECT_EQ(files.GetWildcard().AfterLast('|'),
                      files.GetWildcard().empty() ? "" : wxFileSelectorDefaultWildcardStr);
            return wxID_CANCEL;
        });
        user.Then(test::ChooseFile(existingFile));

        Click(IDC_BROWSE_FILE);
        EXPECT_EQ(Text(IDC_FIRST_FILE), c.typedFile) << "cancelled";
        Click(IDC_BROWSE_FILE);

        EXPECT_EQ(dialog.m_firstFile + "|" + dialog.m_outputFolder + "|" + Text(IDC_OUTPUT_FOLDER),
                  existingFile + "|" + c.expectedFolder + "|" + c.expectedFolder);
    }

    const std::string inner = MakeFolder(existingFolder, "inner");
    const std::string typed = "/data/m\xc3\xa9t\xc3\xa9o/\xff\xfe-H-000";  // taken and given back
    TypeBoth(typed, existingFolder);
    std::string seen;  // title and status line
    ModalScript user;
    user.Then(RunAndDo([&](wxDialog& shown) {
        auto& browser = dynamic_cast<FolderBrowser&>(shown);
        seen = browser.TitleText() + "|" + browser.StatusText();
        browser.SelectFolder(inner);
        browser.EndModal(wxID_OK);
    }));

    Click(IDC_BROWSE_FOLDER);

    EXPECT_EQ(user.shown().at(0).parent, &dialog);
    EXPECT_EQ(seen, "Choose Destination Folder|" + existingFolder + kFolderSeparator);
    EXPECT_EQ(Text(IDC_FIRST_FILE) + "|" + Text(IDC_OUTPUT_FOLDER), typed + "|" + inner);
    EXPECT_EQ(dialog.m_firstFile, typed);
    EXPECT_TRUE(Box(IDC_FIRST_FILE).GetValue().StartsWith(wxString::FromUTF8("/data/m\xc3\xa9t")));
}

TEST_F(SegweldDlgTest, AboutBoxOpensFromF1AndTheBackgroundMenuButBoxesKeepTheirOwnMenu) {
    EXPECT_EQ(CSegweldDlg::CreateSystemMenu()->GetLabel(IDM_ABOUTBOX), "&About segweld...");
    wxContextMenuEvent rightClick(wxEVT_CONTEXT_MENU, IDC_FIRST_FILE);
    rightClick.SetEventObject(&Box(IDC_FIRST_FILE));
    EXPECT_FALSE(Box(IDC_FIRST_FILE).ProcessWindowEvent(rightClick)) << "taken from GTK's menu";
    const auto seeVersionAndPressOk = [](wxDialog& about) {
        EXPECT_TRUE(wxWindow::FindWindowByLabel("Segweld Version 1.0", &about));
        return wxID_OK;
    };
    ModalScript user;
    user.Then(seeVersionAndPressOk).Then(seeVersionAndPressOk);

    PressKey(WXK_F1);
    wxCommandEvent command(wxEVT_MENU, IDM_ABOUTBOX);
    dialog.GetEventHandler()->ProcessEvent(command);

    EXPECT_EQ(user.shown(), std::vector(2, ShownDialog{"About segweld", "", &dialog}));
}

}  // namespace
}  // namespace segweld
