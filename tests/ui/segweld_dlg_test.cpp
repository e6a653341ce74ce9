#include "ui/segweld_dlg.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

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
using test::Press;
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

constexpr char kSelectFile[] = "Please select a file to process.";
constexpr char kNoInputFile[] = "The input file does not exist.";
constexpr char kSelectFolder[] = "Please select a folder where to write the resulting joined file.";
constexpr char kNoOutputFolder[] = "The output folder does not exist.";

class SegweldDlgTest : public ::testing::Test {
  protected:
    SegweldDlgTest()
        : dialog(nullptr, [this](std::string file, std::string folder) {
              return Join(std::move(file), std::move(folder));
          }) {
        // Shown, as the user sees it: a hidden window cannot own message boxes.
        dialog.Show();
    }

    wxTextCtrl& Box(int id) { return dynamic_cast<wxTextCtrl&>(*dialog.FindWindow(id)); }
    std::string Text(int id) { return PathFromText(Box(id).GetValue()); }
    void Type(int id, const std::string& text) { Box(id).ChangeValue(TextFromPath(text)); }
    void TypeBoth(const std::string& file, const std::string& folder) {
        Type(IDC_FIRST_FILE, file);
        Type(IDC_OUTPUT_FOLDER, folder);
    }

    ButtonState RunButton() {
        const wxWindow& button = *dialog.FindWindow(IDC_RUN);
        return {PathFromText(button.GetLabel()), button.IsEnabled()};
    }
    std::string StatusLine() {
        for (wxWindow* child : dialog.GetChildren()) {
            if (auto* text = dynamic_cast<wxStaticText*>(child);
                text && text->HasFlag(wxST_ELLIPSIZE_MIDDLE)) {
                return PathFromText(text->GetLabelText());
            }
        }
        ADD_FAILURE() << "the dialog has no status line";
        return "";
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

    // Answers a message box with OK, noting the Run! button as it stood then.
    ModalScript::Answer NoteButtonAndPressOk() {
        return [this](wxDialog&) {
            buttonAtMessage.push_back(RunButton());
            return wxID_OK;
        };
    }

    JoinReport Join(std::string file, std::string folder) {
        joins.emplace_back(file, folder);
        buttonDuringJoin.push_back(RunButton());
        return fakeJoin ? fakeJoin() : JoinSegments(std::move(file), std::move(folder));
    }

    test::ScratchFolder scratch;
    std::string existingFile = scratch.WriteFile("segment", "data");
    std::string existingFolder = scratch.MakeFolder("out");
    std::string missing = scratch / "missing";

    std::function<JoinReport()> fakeJoin;
    std::vector<std::pair<std::string, std::string>> joins;
    std::vector<ButtonState> buttonDuringJoin;
    std::vector<ButtonState> buttonAtMessage;
    CSegweldDlg dialog;
};

bool Overlap(const wxWindow& a, const wxWindow& b) {
    return a.GetRect().Intersects(b.GetRect());
}

TEST_F(SegweldDlgTest, ShowsItsControlsInTwoRowsWithNothingClippedOrOverlapping) {
    EXPECT_EQ(dialog.GetTitle(), "Segweld");
    EXPECT_EQ(Text(IDC_FIRST_FILE), "");
    EXPECT_EQ(Text(IDC_OUTPUT_FOLDER), "");
    EXPECT_EQ(dialog.GetDefaultItem(), dialog.FindWindow(wxID_OK));
    ASSERT_NE(dialog.FindWindow(wxID_CANCEL), nullptr);
    EXPECT_FALSE(dialog.FindWindow(wxID_CANCEL)->IsShown());
    EXPECT_EQ(dialog.GetIcons().GetIconCount(), 2u);
    EXPECT_TRUE(dialog.GetIcons().GetIcon(16, wxIconBundle::FALLBACK_NONE).IsOk());
    EXPECT_TRUE(dialog.GetIcons().GetIcon(32, wxIconBundle::FALLBACK_NONE).IsOk());

    // Each row, left to right: label, edit box, Browse..., then Run! or Close.
    const auto labelled = [&](const char* text) -> wxWindow* {
        for (wxWindow* child : dialog.GetChildren()) {
            if (child->GetLabel() == text) {
                return child;
            }
        }
        ADD_FAILURE() << "no control reads " << text;
        return &dialog;
    };
    const std::vector<std::vector<wxWindow*>> rows = {
        {labelled("First file:"), dialog.FindWindow(IDC_FIRST_FILE),
         dialog.FindWindow(IDC_BROWSE_FILE), dialog.FindWindow(IDC_RUN)},
        {labelled("Output folder:"), dialog.FindWindow(IDC_OUTPUT_FOLDER),
         dialog.FindWindow(IDC_BROWSE_FOLDER), dialog.FindWindow(wxID_OK)},
    };
    EXPECT_EQ(dialog.FindWindow(IDC_BROWSE_FILE)->GetLabel(), "Browse...");
    EXPECT_EQ(dialog.FindWindow(IDC_BROWSE_FOLDER)->GetLabel(), "Browse...");
    EXPECT_EQ(dialog.FindWindow(wxID_OK)->GetLabel(), "Close");
    EXPECT_EQ(RunButton(), kIdle);

    std::vector<wxWindow*> visible;
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            const wxRect rect = row[i]->GetRect();
            EXPECT_GE(rect.width, row[i]->GetBestSize().x) << row[i]->GetLabel();
            EXPECT_GE(rect.height, row[i]->GetBestSize().y) << row[i]->GetLabel();
            EXPECT_LE(rect.GetRight(), dialog.GetClientSize().x) << row[i]->GetLabel();
            if (i > 0) {
                EXPECT_GT(rect.x, row[i - 1]->GetRect().GetRight()) << row[i]->GetLabel();
            }
            visible.push_back(row[i]);
        }
    }
    EXPECT_LT(rows[0][1]->GetRect().GetBottom(), rows[1][1]->GetRect().GetTop());
    for (size_t i = 0; i < visible.size(); ++i) {
        for (size_t j = i + 1; j < visible.size(); ++j) {
            EXPECT_FALSE(Overlap(*visible[i], *visible[j]))
                << visible[i]->GetLabel() << " and " << visible[j]->GetLabel();
        }
    }
}

TEST_F(SegweldDlgTest, UpdateDataMovesPathsBetweenBoxesAndMembersByteForByte) {
    const std::string accented = "/data/m\xc3\xa9t\xc3\xa9o/H-000";
    const std::string notUtf8 = "/data/\xff\xfe-out";
    dialog.m_firstFile = accented;
    dialog.m_outputFolder = notUtf8;
    ASSERT_TRUE(dialog.UpdateData(false));
    EXPECT_EQ(Box(IDC_FIRST_FILE).GetValue(),
              wxString::FromUTF8("/data/m\xc3\xa9t\xc3\xa9o/H-000"));

    dialog.m_firstFile.clear();
    dialog.m_outputFolder.clear();
    ASSERT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.m_firstFile, accented);
    EXPECT_EQ(dialog.m_outputFolder, notUtf8);
}

TEST_F(SegweldDlgTest, RunShowsTheFirstFailedCheckAndReturnsToIdle) {
    struct Case {
        std::string file;
        std::string folder;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"", "", kSelectFile},
        {"", missing, kSelectFile},
        {existingFile, "", kSelectFolder},
        {missing, "", kNoInputFile},
        {missing, existingFolder, kNoInputFile},
        {existingFile, missing, kNoOutputFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("file \"" + c.file + "\", folder \"" + c.folder + "\"");
        buttonAtMessage.clear();
        TypeBoth(c.file, c.folder);
        ModalScript user;
        user.Then(NoteButtonAndPressOk());

        Click(IDC_RUN);

        ASSERT_EQ(user.shown().size(), 1u);
        EXPECT_EQ(user.shown()[0].kind, "message");
        EXPECT_EQ(user.shown()[0].text, c.message);
        EXPECT_EQ(user.shown()[0].caption, "segweld");
        EXPECT_EQ(user.shown()[0].parent, &dialog);
        EXPECT_EQ(buttonAtMessage, std::vector{kRunning});
        EXPECT_EQ(RunButton(), kIdle);
        EXPECT_EQ(Text(IDC_FIRST_FILE), c.file);
        EXPECT_EQ(Text(IDC_OUTPUT_FOLDER), c.folder);
    }
    EXPECT_TRUE(joins.empty());
}

JoinReport WrittenReport(int segments, uint64_t bytes, const std::string& output) {
    JoinReport report;
    report.segments.resize(static_cast<size_t>(segments));
    for (SegmentOutcome& segment : report.segments) {
        segment.status = SegmentStatus::Accepted;
    }
    report.outputPath = output;
    report.bytesWritten = bytes;
    return report;
}

TEST_F(SegweldDlgTest, RunJoinsTheTypedPathsWhileWaitingAndSaysWhatWasWritten) {
    fakeJoin = [] { return WrittenReport(8, 17223680, "/data/out/h-000.xyz"); };
    TypeBoth(existingFile, existingFolder);
    ModalScript user;

    Click(IDC_RUN);

    EXPECT_TRUE(user.shown().empty());
    ASSERT_EQ(joins.size(), 1u);
    EXPECT_EQ(joins[0], std::pair(existingFile, existingFolder));
    EXPECT_EQ(buttonDuringJoin, std::vector{kRunning});
    EXPECT_EQ(RunButton(), kIdle);
    EXPECT_EQ(StatusLine(), "Joined 8 segments, 17,223,680 bytes, into /data/out/h-000.xyz");
    EXPECT_EQ(dialog.m_firstFile, existingFile);
    EXPECT_EQ(dialog.m_outputFolder, existingFolder);
}

TEST_F(SegweldDlgTest, RunShowsAnOutputFailureInAMessageBoxAndNothingJoinedOnTheStatusLine) {
    TypeBoth(existingFile, existingFolder);
    {
        JoinReport failed;
        failed.error = "Cannot create the output in /out: No space left on device";
        failed.warnings = {"segment /in/x skipped: too short"};
        fakeJoin = [failed] { return failed; };
        ModalScript user;
        user.Then(NoteButtonAndPressOk());
        Click(IDC_RUN);
        EXPECT_EQ(user.MessageTexts(), std::vector<std::string>{failed.error});
        EXPECT_EQ(user.shown().at(0).parent, &dialog);
        EXPECT_EQ(buttonAtMessage, std::vector{kRunning});
        EXPECT_EQ(StatusLine(), failed.error + "; 1 warning: segment /in/x skipped: too short");
        EXPECT_EQ(RunButton(), kIdle);
    }
    {
        JoinReport nothing;
        nothing.firstSegmentPath = "/in/H-000001";
        fakeJoin = [nothing] { return nothing; };
        ModalScript user;
        Click(IDC_RUN);
        EXPECT_TRUE(user.shown().empty()) << "nothing joined is no output failure";
        EXPECT_EQ(StatusLine(), nothing.FailureText());
        EXPECT_EQ(RunButton(), kIdle);
    }
    {
        fakeJoin = []() -> JoinReport { throw std::runtime_error("out of memory"); };
        ModalScript user;
        user.Then(Press(wxID_OK));
        Click(IDC_RUN);
        EXPECT_EQ(user.MessageTexts(), std::vector<std::string>{"The join stopped: out of memory"});
        EXPECT_EQ(RunButton(), kIdle);
    }
    ModalScript user;
    user.Then(Press(wxID_OK));
    TypeBoth("", "");
    Click(IDC_RUN);
    EXPECT_EQ(StatusLine(), "") << "a failed check leaves no stale outcome";
}

// Segment `number` of a product of two, with `data` as its data field.
std::string SegmentFile(uint16_t number, const std::string& data) {
    test::SegmentShape shape;
    shape.sequence = number;
    shape.plannedEnd = 2;
    shape.columns = static_cast<uint16_t>(data.size());
    shape.lines = 1;
    shape.bitsPerPixel = 8;
    const std::vector<uint8_t> header = test::RealSegmentHeader(shape);
    return std::string(header.begin(), header.end()) + data;
}

TEST_F(SegweldDlgTest, RunJoinsRealSegmentFiles) {
    const std::string name = test::kWorkedExample;
    scratch.WriteFile(SegmentName(name, 1), SegmentFile(1, "ABCD"));
    scratch.WriteFile(SegmentName(name, 2), SegmentFile(2, "EFGH"));
    TypeBoth(scratch / SegmentName(name, 1), existingFolder);
    ModalScript user;

    Click(IDC_RUN);

    EXPECT_TRUE(user.shown().empty());
    const std::string status = StatusLine();
    const std::string intro = "Joined 2 segments, 8 bytes, into ";
    ASSERT_EQ(status.substr(0, intro.size()), intro) << status;
    const std::string output = status.substr(intro.size());
    EXPECT_EQ(SplitSegmentPath(output).directory, existingFolder + "/");
    EXPECT_EQ(test::ReadWholeFile(output), "ABCDEFGH") << output;
}

TEST_F(SegweldDlgTest, BrowseFileFillsAnEmptyFolderFromTheFileAndKeepsAFolderAlreadyGiven) {
    const std::string inputFolder = scratch.MakeFolder("in");
    const std::string chosen = scratch.WriteFile("in/H-000", "");
    struct Case {
        std::string typedFolder;
        std::string folderMember;
        std::string expectedFolder;
    };
    const std::vector<Case> cases = {
        {"", "", inputFolder},
        {"/member", "/member", "/member"},
        // What the folder box shows counts, whether or not it was taken yet.
        {"/typed", "", "/typed"},
        {"/typed", "/member", "/typed"},
        {"", "/member", inputFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("folder box \"" + c.typedFolder + "\", member \"" + c.folderMember + "\"");
        dialog.m_firstFile = "earlier";
        dialog.m_outputFolder = c.folderMember;
        dialog.UpdateData(false);
        Type(IDC_OUTPUT_FOLDER, c.typedFolder);
        ModalScript user;
        user.Then(test::ChooseFile(chosen));

        Click(IDC_BROWSE_FILE);

        EXPECT_EQ(dialog.m_firstFile, chosen);
        EXPECT_EQ(dialog.m_outputFolder, c.expectedFolder);
        EXPECT_EQ(Text(IDC_FIRST_FILE), chosen);
        EXPECT_EQ(Text(IDC_OUTPUT_FOLDER), c.expectedFolder);
    }
}

TEST_F(SegweldDlgTest, BrowseFileOpensAnUnfilteredOpenDialogAndCancelChangesNothing) {
    TypeBoth("typed file", "typed folder");
    ModalScript user;
    long style = 0;
    wxString wildcard = "unset";
    user.Then([&](wxDialog& shown) {
        style = shown.GetWindowStyleFlag();
        wildcard = test::As<wxFileDialogBase>(shown).GetWildcard();
        return wxID_CANCEL;
    });

    Click(IDC_BROWSE_FILE);

    ASSERT_EQ(user.shown().size(), 1u);
    EXPECT_EQ(user.shown()[0].kind, "file");
    EXPECT_EQ(user.shown()[0].parent, &dialog);
    EXPECT_TRUE((style & wxFD_OPEN) != 0 && (style & wxFD_SAVE) == 0);
    EXPECT_EQ(wildcard, "");
    EXPECT_EQ(Text(IDC_FIRST_FILE), "typed file");
    EXPECT_EQ(Text(IDC_OUTPUT_FOLDER), "typed folder");
}

TEST_F(SegweldDlgTest, BrowseFolderStartsAtTheTypedFolderAndCancelKeepsItWithoutSeparator) {
    TypeBoth("typed file", existingFolder);
    ModalScript user;
    std::string title, status, highlighted;
    user.Then(RunAndDo([&](wxDialog& shown) {
        auto& browser = As<FolderBrowser>(shown);
        title = browser.TitleText();
        status = browser.StatusText();
        highlighted = browser.PathOfItem(browser.HighlightedItem());
        browser.EndModal(wxID_CANCEL);
    }));

    Click(IDC_BROWSE_FOLDER);

    ASSERT_EQ(user.shown().size(), 1u);
    EXPECT_EQ(user.shown()[0].kind, "folder browser");
    EXPECT_EQ(user.shown()[0].parent, &dialog);
    EXPECT_EQ(title, "Choose Destination Folder");
    EXPECT_EQ(status, existingFolder + "/");
    EXPECT_EQ(highlighted, existingFolder);
    EXPECT_EQ(Text(IDC_OUTPUT_FOLDER), existingFolder);
    EXPECT_EQ(Text(IDC_FIRST_FILE), "typed file");
}

TEST_F(SegweldDlgTest, BrowseFolderPutsTheConfirmedFolderInTheBox) {
    const std::string inner = scratch.MakeFolder("out/inner");
    TypeBoth("", existingFolder);
    ModalScript user;
    user.Then(RunAndDo([&](wxDialog& shown) {
        As<FolderBrowser>(shown).SelectFolder(inner);
        shown.EndModal(wxID_OK);
    }));

    Click(IDC_BROWSE_FOLDER);

    EXPECT_EQ(Text(IDC_OUTPUT_FOLDER), inner);
    EXPECT_EQ(dialog.m_outputFolder, inner);
}

TEST_F(SegweldDlgTest, AboutBoxOpensFromF1AndTheContextMenuAndClosesWithOk) {
    const std::unique_ptr<wxMenu> menu = CSegweldDlg::CreateSystemMenu();
    ASSERT_NE(menu->FindItem(IDM_ABOUTBOX), nullptr);
    EXPECT_EQ(menu->GetLabel(IDM_ABOUTBOX), "&About segweld...");

    ModalScript user;
    std::vector<std::string> texts;
    int closedWith = wxID_NONE;
    user.Then(RunAndDo([&](wxDialog& about) {
        for (wxWindow* child : about.GetChildren()) {
            texts.push_back(PathFromText(child->GetLabel()));
        }
        wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
        ok.SetEventObject(about.FindWindow(wxID_OK));
        about.FindWindow(wxID_OK)->GetEventHandler()->ProcessEvent(ok);
        closedWith = about.GetReturnCode();
    }));
    user.Then(Press(wxID_OK));

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
    EXPECT_NE(std::find(texts.begin(), texts.end(), "OK"), texts.end());
    EXPECT_EQ(closedWith, wxID_OK);
}

TEST_F(SegweldDlgTest, EscapeEndsTheDialogWithoutTakingTheBoxesAndCloseTakesThem) {
    dialog.Hide();
    ModalScript user;
    user.Then(RunAndDo([&](wxDialog&) {
        TypeBoth("file", "folder");
        PressKey(WXK_ESCAPE);
    }));
    EXPECT_EQ(dialog.ShowModal(), wxID_CANCEL);
    EXPECT_EQ(dialog.m_firstFile, "");

    user.Then(RunAndDo([&](wxDialog&) {
        TypeBoth("file", "folder");
        Click(wxID_OK);
    }));
    EXPECT_EQ(dialog.ShowModal(), wxID_OK);
    EXPECT_EQ(dialog.m_firstFile, "file");
    EXPECT_EQ(dialog.m_outputFolder, "folder");
}

}  // namespace
}  // namespace segweld
