#include "ui/segweld_dlg.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "join/segment_name.h"
#include "tests/support/header_builder.h"
#include "tests/ui/modal_script.h"
#include "tests/ui/scratch_folder.h"
#include "ui/folder_browser.h"
#include "ui/path_text.h"

namespace segweld {
namespace {

using test::As;
using test::ModalScript;
using test::PumpUntil;
using test::RunAndDo;

struct ButtonState {
    std::string label;
    bool enabled = false;
    bool operator==(const ButtonState&) const = default;
};

void PrintTo(const ButtonState& state, std::ostream* out) {
    *out << '"' << state.label << '"' << (state.enabled ? " enabled" : " disabled");
}

const ButtonState kIdle{"Run!", true};
const ButtonState kRunning{"Wait...", false};

// Holds the join at each progress report until the test lets it on.
class Gate {
  public:
    void Pass() {
        std::unique_lock lock(mutex_);
        ++arrivals_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_ || permits_ > 0; });
        permits_ -= open_ ? 0 : 1;
    }
    void Let(int reports) {
        Change([&] { permits_ += reports; });
    }
    void Shut() {
        Change([&] { open_ = false; });
    }
    void Open() {
        Change([&] { open_ = true; });
    }
    int arrivals() {
        std::lock_guard lock(mutex_);
        return arrivals_;
    }

  private:
    template <typename F>
    void Change(F change) {
        std::lock_guard lock(mutex_);
        change();
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    int arrivals_ = 0;
    int permits_ = 0;
    bool open_ = true;
};

// Segment `number` of a product planned as `planned` segments.
std::string SegmentFile(uint16_t number, uint16_t planned, const std::string& data) {
    test::SegmentShape shape;
    shape.sequence = number;
    shape.plannedEnd = planned;
    shape.columns = static_cast<uint16_t>(data.size());
    shape.lines = 1;
    shape.bitsPerPixel = 8;
    const std::vector<uint8_t> header = test::RealSegmentHeader(shape);
    return std::string(header.begin(), header.end()) + data;
}

class SegweldDlgTest : public ::testing::Test {
  protected:
    SegweldDlgTest() {
        dialog.Show();  // a hidden window cannot own message boxes
        dialog.Raise();
        PumpUntil([] { return true; });
    }
    ~SegweldDlgTest() override { gate.Open(); }

    wxTextCtrl& Box(int id) { return dynamic_cast<wxTextCtrl&>(*dialog.FindWindow(id)); }
    std::string Text(int id) { return PathFromText(Box(id).GetValue()); }
    void TypeBoth(const std::string& file, const std::string& folder) {
        Box(IDC_FIRST_FILE).ChangeValue(TextFromPath(file));
        Box(IDC_OUTPUT_FOLDER).ChangeValue(TextFromPath(folder));
    }
    ButtonState RunButton() {
        const wxWindow& button = *dialog.FindWindow(IDC_RUN);
        return {PathFromText(button.GetLabel()), button.IsEnabled()};
    }
    std::string StatusLine() { return PathFromText(Status().GetLabelText()); }
    wxStaticText& Status() { return dynamic_cast<wxStaticText&>(*dialog.FindWindow(IDC_STATUS)); }
    bool RunHasFocus() { return wxWindow::FindFocus() == dialog.FindWindow(IDC_RUN); }

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

    // Answers a message box with OK, noting the Run! button as it stood then.
    ModalScript::Answer NoteButtonAndPressOk() {
        return [this](wxDialog&) {
            buttonAtMessage.push_back(RunButton());
            return wxID_OK;
        };
    }

    // A product of `present` segments out of `planned`, each of `size` bytes.
    std::string WriteProduct(const std::string& folder, int present, int planned, size_t size) {
        const std::string name = test::kWorkedExample;
        scratch.MakeFolder(folder);
        for (int number = 1; number <= present; ++number) {
            scratch.WriteFile(folder + "/" + SegmentName(name, number),
                              SegmentFile(number, planned, std::string(size, 'A' + number)));
        }
        return scratch / (folder + "/" + SegmentName(name, 1));
    }

    JoinReport Join(std::string file, std::string folder, const JoinOptions& options) {
        ++joins;
        if (fakeJoin) {
            return fakeJoin();
        }
        JoinOptions slowed = options;
        slowed.progress = [&](const JoinProgress& progress) {
            gate.Pass();
            return options.progress(progress);
        };
        return JoinSegments(std::move(file), std::move(folder), slowed);
    }

    test::ScratchFolder scratch;
    std::string existingFile = scratch.WriteFile("segment", "data");
    std::string existingFolder = scratch.MakeFolder("out");
    std::string missing = scratch / "missing";

    Gate gate;
    std::function<JoinReport()> fakeJoin;  // on the join's thread: touches nothing else
    std::atomic<int> joins = 0;
    std::vector<ButtonState> buttonAtMessage;
    CSegweldDlg dialog{nullptr,
                       [this](std::string file, std::string folder, const JoinOptions& options) {
                           return Join(std::move(file), std::move(folder), options);
                       }};
};

// Also run at a 15-point font (CMakeLists.txt): nothing may be clipped there either.
TEST_F(SegweldDlgTest, LayoutFitsEveryTextAndGrowsInWidthOnly) {
    if (const char* points = std::getenv("SEGWELD_TEST_FONT_POINTS")) {
        ASSERT_EQ(dialog.GetFont().GetPointSize(), std::atoi(points));
    }
    EXPECT_EQ(dialog.GetTitle(), "Segweld");
    EXPECT_EQ(dialog.GetDefaultItem(), dialog.FindWindow(wxID_OK));
    EXPECT_FALSE(dialog.FindWindow(wxID_CANCEL)->IsShown());
    EXPECT_EQ(dialog.GetIcons().GetIconCount(), 2u);
    const wxSize laidOut = dialog.GetSize();
    EXPECT_EQ(dialog.GetMinSize(), laidOut);
    const auto checkNothingClipped = [&] {
        std::vector<wxWindow*> shown;
        for (wxWindow* child : dialog.GetChildren()) {
            if (!child->IsShown()) {
                continue;
            }
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
        // An HRIT name: its underscores must show inside the box.
        wxTextCtrl& box = Box(IDC_FIRST_FILE);
        EXPECT_GE(box.GetSize().y, box.GetTextExtent(test::kWorkedExample).y + 4);
    };
    checkNothingClipped();

    const int boxWidth = Box(IDC_FIRST_FILE).GetSize().x;
    dialog.SetSize(laidOut + wxSize(300, 300));
    EXPECT_EQ(dialog.GetSize(), laidOut + wxSize(300, 0));
    EXPECT_EQ(Box(IDC_FIRST_FILE).GetSize().x, boxWidth + 300);
    EXPECT_EQ(Box(IDC_OUTPUT_FOLDER).GetSize().x, boxWidth + 300);
    checkNothingClipped();
    dialog.SetSize(laidOut - wxSize(100, 0));
    EXPECT_EQ(dialog.GetSize(), laidOut);
}

TEST_F(SegweldDlgTest, UpdateDataMovesPathsBetweenBoxesAndMembersByteForByte) {
    const std::string accented = "/data/m\xc3\xa9t\xc3\xa9o/H-000";
    const std::string notUtf8 = "/data/\xff\xfe-out";
    dialog.m_firstFile = accented;
    dialog.m_outputFolder = notUtf8;
    ASSERT_TRUE(dialog.UpdateData(false));
    EXPECT_EQ(Box(IDC_FIRST_FILE).GetValue(), wxString::FromUTF8(accented));
    dialog.m_firstFile.clear();
    dialog.m_outputFolder.clear();
    ASSERT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.m_firstFile, accented);
    EXPECT_EQ(dialog.m_outputFolder, notUtf8);
}

TEST_F(SegweldDlgTest, RunRefusesBadPathsWithTheFirstFailedCheck) {
    const std::string product = scratch.MakeFolder("product");
    const std::string isFolder =
        "Nothing joined: the first file " + product + " is a folder, not a segment file.";
    struct Case {
        std::string file;
        std::string folder;
        std::string message;
        std::string status;
    };
    const Case cases[] = {
        {"", "", "Please select a file to process.", ""},
        {"", missing, "Please select a file to process.", ""},
        {existingFile, "", "Please select a folder where to write the resulting joined file.", ""},
        {missing, "", "The input file does not exist.", ""},
        {missing, existingFolder, "The input file does not exist.", ""},
        {existingFile, missing, "The output folder does not exist.", ""},
        {product, existingFolder, isFolder, isFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("file \"" + c.file + "\", folder \"" + c.folder + "\"");
        buttonAtMessage.clear();
        TypeBoth(c.file, c.folder);
        ModalScript user;
        user.Then(NoteButtonAndPressOk());

        Click(IDC_RUN);

        ASSERT_EQ(user.shown().size(), 1u);
        EXPECT_EQ(user.shown()[0].text, c.message);
        EXPECT_EQ(user.shown()[0].caption, "segweld");
        EXPECT_EQ(user.shown()[0].parent, &dialog);
        EXPECT_EQ(buttonAtMessage, std::vector{kRunning});
        EXPECT_EQ(RunButton(), kIdle);
        EXPECT_TRUE(RunHasFocus());
        EXPECT_EQ(StatusLine(), c.status);
        EXPECT_EQ(Text(IDC_FIRST_FILE), c.file);
        EXPECT_EQ(Text(IDC_OUTPUT_FOLDER), c.folder);
    }
    EXPECT_EQ(joins, 0);
}

TEST_F(SegweldDlgTest, ARunningJoinShowsProgressAndStopsOnEscapeOrStopWritingNothing) {
    const std::string first = WriteProduct("in", 3, 3, 16);
    ModalScript user;  // no message box
    for (const bool byEscape : {true, false}) {
        SCOPED_TRACE(byEscape ? "Escape" : "Stop");
        gate.Shut();
        const int before = gate.arrivals();
        TypeBoth(first, existingFolder);
        Click(IDC_RUN);
        // Reports: before segment 1, after its data, before segment 2 (shown), ...
        gate.Let(3);
        ASSERT_TRUE(PumpUntil([&] { return gate.arrivals() == before + 4; }));
        PumpUntil([&] { return StatusLine().find("segment 2 of 3") != std::string::npos; });

        EXPECT_EQ(RunButton(), kRunning);
        EXPECT_EQ(StatusLine(), "Joining segment 2 of 3: 16 bytes written");
        const auto& gauge = dynamic_cast<wxGauge&>(*dialog.FindWindow(IDC_PROGRESS));
        EXPECT_TRUE(gauge.IsShown());
        EXPECT_EQ(gauge.GetValue() * 3, gauge.GetRange());
        EXPECT_TRUE(dialog.FindWindow(IDC_STOP)->IsShown());
        for (int again = 0; again < 3; ++again) {
            Click(IDC_RUN);
            PressKey(WXK_RETURN);
        }
        byEscape ? PressKey(WXK_ESCAPE) : Click(IDC_STOP);
        gate.Open();
        ASSERT_TRUE(PumpUntil([&] { return !dialog.joining(); }));

        EXPECT_EQ(StatusLine(), "The join was stopped; nothing was written.");
        EXPECT_TRUE(dialog.IsShown()) << "Escape stops the join, not the dialog";
        EXPECT_FALSE(dialog.FindWindow(IDC_STOP)->IsShown());
        EXPECT_EQ(RunButton(), kIdle);
        EXPECT_TRUE(RunHasFocus());
        EXPECT_TRUE(std::filesystem::is_empty(existingFolder));
    }
    EXPECT_EQ(joins, 2);
}

TEST_F(SegweldDlgTest, ClosingDuringAJoinStopsItFirst) {
    const std::string first = WriteProduct("in", 2, 2, 16);
    for (const int closeBy : {wxID_OK, wxID_CANCEL}) {
        SCOPED_TRACE(closeBy == wxID_OK ? "Close button" : "close box");
        gate.Shut();
        ModalScript user;
        user.Then(RunAndDo([&](wxDialog&) {
            TypeBoth(first, existingFolder);
            Click(IDC_RUN);
            ASSERT_TRUE(PumpUntil([&] { return gate.arrivals() > 0; }));
            closeBy == wxID_OK ? Click(wxID_OK) : (void)dialog.Close();
            EXPECT_TRUE(dialog.IsModal()) << "ended before the join stopped";
            gate.Open();
            PumpUntil([&] { return !dialog.IsModal(); });
        }));
        dialog.Hide();
        EXPECT_EQ(dialog.ShowModal(), closeBy);
        EXPECT_FALSE(dialog.joining());
        EXPECT_TRUE(std::filesystem::is_empty(existingFolder));
    }
}

TEST_F(SegweldDlgTest, RunJoinsAndShowsVerdictOutputNameAndFirstWarningWhateverTheFolders) {
    const std::string deep = "a-folder-with-a-rather-long-name/" + std::string(120, 'x');
    const std::string output = scratch.MakeFolder(deep + "/out");
    const std::string first = WriteProduct(deep, 2, 3, 4);
    const JoinReport reference = JoinSegments(first, scratch.MakeFolder("reference"));
    ASSERT_EQ(reference.warnings.size(), 1u);
    const std::string name = SplitSegmentPath(reference.outputPath).name;
    TypeBoth(first, output);
    ModalScript user;

    RunToTheEnd();

    EXPECT_TRUE(user.shown().empty());
    EXPECT_EQ(test::ReadWholeFile(output + "/" + name), "BBBBCCCC");
    std::string status = StatusLine();
    std::replace(status.begin(), status.end(), '\n', ' ');  // lines break between words only
    for (const std::string& whole : {std::string("Joined 2 segments, 8 bytes, into "),
                                     "/" + name + " ", " 1 warning: " + reference.warnings[0]}) {
        EXPECT_NE(status.find(whole), std::string::npos) << whole << " in " << status;
    }
    const wxString tip = Status().GetToolTipText();
    EXPECT_NE(tip.find(TextFromPath(output + "/" + name)), wxString::npos) << tip;
    for (const wxString& line : wxSplit(Status().GetLabelText(), '\n', '\0')) {
        EXPECT_LE(Status().GetTextExtent(line).x, Status().GetSize().x) << line;
    }
    EXPECT_EQ(RunButton(), kIdle);
    EXPECT_TRUE(RunHasFocus());
}

TEST_F(SegweldDlgTest, EveryFailedJoinShowsAMessageBoxAndTheStatusLine) {
    struct Case {
        const char* label;
        std::function<JoinReport()> join;
        std::string text;
    };
    JoinReport outputFailed;
    outputFailed.error = "Cannot create the output in /out: No space left on device";
    JoinReport nothingJoined;
    nothingJoined.firstSegmentPath = "/in/H-000001";
    const Case cases[] = {
        {"output failed", [&] { return outputFailed; }, outputFailed.error},
        {"nothing joined", [&] { return nothingJoined; }, nothingJoined.FailureText()},
        {"join threw", []() -> JoinReport { throw std::runtime_error("out of memory"); },
         "The join stopped: out of memory"},
    };
    TypeBoth(existingFile, existingFolder);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        buttonAtMessage.clear();
        fakeJoin = c.join;
        ModalScript user;
        user.Then(NoteButtonAndPressOk());

        RunToTheEnd();

        EXPECT_EQ(user.MessageTexts(), std::vector<std::string>{c.text});
        EXPECT_EQ(user.shown().at(0).caption, "segweld");
        EXPECT_EQ(buttonAtMessage, std::vector{kRunning});
        EXPECT_EQ(StatusLine(), c.text);
        EXPECT_EQ(RunButton(), kIdle);
        EXPECT_TRUE(RunHasFocus());
    }
}

TEST_F(SegweldDlgTest, BrowseFileStartsInTheNamedFolderAndFillsOnlyAnEmptyFolderBox) {
    const std::string inputFolder = scratch.MakeFolder("in");
    const std::string chosen = scratch.WriteFile("in/H-000", "");
    struct Case {
        std::string typedFile;
        std::string typedFolder;
        std::string folderMember;
        std::string startFolder;
        std::string expectedFolder;
    };
    const Case cases[] = {
        {"", "", "", "", inputFolder},
        {chosen, "/member", "/member", inputFolder, "/member"},
        // What the folder box shows counts, whether or not it was taken yet.
        {"", "/typed", "", "", "/typed"},
        {missing + "/x", "/typed", "/member", "", "/typed"},
        {"", "", "/member", "", inputFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("folder box \"" + c.typedFolder + "\", member \"" + c.folderMember + "\"");
        dialog.m_outputFolder = c.folderMember;
        dialog.UpdateData(false);
        TypeBoth(c.typedFile, c.typedFolder);
        std::string startFolder = "unseen";
        ModalScript user;
        user.Then([&](wxDialog& shown) {
            startFolder = PathFromText(As<wxFileDialogBase>(shown).GetDirectory());
            EXPECT_TRUE(shown.HasFlag(wxFD_OPEN));
            EXPECT_EQ(As<wxFileDialogBase>(shown).GetWildcard(), "");
            return wxID_CANCEL;
        });
        user.Then(test::ChooseFile(chosen));

        Click(IDC_BROWSE_FILE);
        EXPECT_EQ(Text(IDC_FIRST_FILE), c.typedFile) << "cancelled";
        Click(IDC_BROWSE_FILE);

        EXPECT_EQ(startFolder, c.startFolder);
        EXPECT_EQ(dialog.m_firstFile, chosen);
        EXPECT_EQ(dialog.m_outputFolder, c.expectedFolder);
        EXPECT_EQ(Text(IDC_OUTPUT_FOLDER), c.expectedFolder);
    }
}

TEST_F(SegweldDlgTest, BrowseFolderStartsAtTheTypedFolderAndTakesTheConfirmedOne) {
    const std::string inner = scratch.MakeFolder("out/inner");
    for (const int answer : {wxID_CANCEL, wxID_OK}) {
        TypeBoth("typed file", existingFolder);
        std::string title, status;
        ModalScript user;
        user.Then(RunAndDo([&](wxDialog& shown) {
            auto& browser = As<FolderBrowser>(shown);
            title = browser.TitleText();
            status = browser.StatusText();
            browser.SelectFolder(inner);
            browser.EndModal(answer);
        }));

        Click(IDC_BROWSE_FOLDER);

        EXPECT_EQ(user.shown().at(0).parent, &dialog);
        EXPECT_EQ(title, "Choose Destination Folder");
        EXPECT_EQ(status, existingFolder + "/");
        EXPECT_EQ(Text(IDC_OUTPUT_FOLDER), answer == wxID_OK ? inner : existingFolder);
        EXPECT_EQ(Text(IDC_FIRST_FILE), "typed file");
    }
}

TEST_F(SegweldDlgTest, AboutBoxOpensFromF1AndTheBackgroundMenuButBoxesKeepTheirOwnMenu) {
    const std::unique_ptr<wxMenu> menu = CSegweldDlg::CreateSystemMenu();
    EXPECT_EQ(menu->GetLabel(IDM_ABOUTBOX), "&About segweld...");
    for (const int box : {IDC_FIRST_FILE, IDC_OUTPUT_FOLDER}) {
        wxContextMenuEvent rightClick(wxEVT_CONTEXT_MENU, box);
        rightClick.SetEventObject(&Box(box));
        EXPECT_FALSE(Box(box).GetEventHandler()->ProcessEvent(rightClick)) << "taken from GTK";
    }
    ModalScript user;
    std::vector<std::string> texts;
    user.Then(RunAndDo([&](wxDialog& about) {
        for (wxWindow* child : about.GetChildren()) {
            texts.push_back(PathFromText(child->GetLabel()));
        }
        wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
        about.FindWindow(wxID_OK)->GetEventHandler()->ProcessEvent(ok);
    }));
    user.Then(test::Press(wxID_OK));

    PressKey(WXK_F1);
    wxCommandEvent command(wxEVT_MENU, IDM_ABOUTBOX);
    dialog.GetEventHandler()->ProcessEvent(command);

    ASSERT_EQ(user.shown().size(), 2u);
    for (const auto& shown : user.shown()) {
        EXPECT_EQ(shown.kind, "about");
        EXPECT_EQ(shown.caption, "About segweld");
        EXPECT_EQ(shown.parent, &dialog);
    }
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Segweld Version 1.0"), texts.end());
}

TEST_F(SegweldDlgTest, EscapeEndsTheIdleDialogWithoutTakingTheBoxesAndCloseTakesThem) {
    dialog.Hide();
    for (const int key : {int{WXK_ESCAPE}, 0}) {
        ModalScript user;
        user.Then(RunAndDo([&](wxDialog&) {
            TypeBoth("file", "folder");
            key != 0 ? PressKey(key) : Click(wxID_OK);
        }));
        EXPECT_EQ(dialog.ShowModal(), key != 0 ? wxID_CANCEL : wxID_OK);
        EXPECT_EQ(dialog.m_firstFile, key != 0 ? "" : "file");
    }
}

}  // namespace
}  // namespace segweld
