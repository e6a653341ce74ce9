#include "ui/segweld_dlg.h"

#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/collpane.h>
#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>

#include "join/segment_name.h"
#include "segweld_version.h"
#include "tests/support/product_files.h"
#include "tests/ui/modal_script.h"
#include "ui/folder_browser.h"
#include "ui/outcome_look.h"
#include "ui/path_text.h"
#ifdef __WXGTK__
#include "ui/screenshots/screen_grab.h"
#endif

namespace segweld {
namespace {

using namespace segweld::test;
namespace fs = std::filesystem;

constexpr char kIdle[] = "Run! enabled";
constexpr char kRunning[] = "Wait... disabled";
constexpr char kStopped[] = "The join was stopped; nothing was written.";
constexpr int kNoHold = 1 << 30;

// Paths as the dialog takes them (UTF-8) and as the file system does.
fs::path FromUtf8(const std::string& path) {
    return fs::path(std::u8string(path.begin(), path.end()));
}
std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// What a control shows: its label without the access key's mark.
wxString Shown(const wxWindow& window) {
    const auto* control = dynamic_cast<const wxControl*>(&window);
    return control ? control->GetLabelText() : window.GetLabel();
}

class SegweldDlgTest : public ::testing::Test {
  protected:
    SegweldDlgTest() {
        dialog.Show();  // a hidden window cannot own message boxes
        PumpUntil([] { return true; });
    }
    // A join left behind in a hold ends before the fixture that holds it.
    ~SegweldDlgTest() override {
        Hold(kNoHold);
        EXPECT_TRUE(JoinWorker::ThreadsEnded(std::chrono::seconds(10)));
    }

    wxTextCtrl& Box(int id) { return dynamic_cast<wxTextCtrl&>(*dialog.FindWindow(id)); }
    std::string Text(int id) { return PathFromText(Box(id).GetValue()); }
    void TypeBoth(const std::string& file, const std::string& folder) {
        Box(IDC_FIRST_FILE).ChangeValue(TextFromPath(file));
        Box(IDC_OUTPUT_FOLDER).ChangeValue(TextFromPath(folder));
    }
    std::string RunButton() {
        const wxWindow& run = *dialog.FindWindow(IDC_RUN);
        return PathFromText(Shown(run)) + (run.IsEnabled() ? " enabled" : " disabled");
    }
    std::string Title() { return PathFromText(dialog.GetTitle()); }
    wxCollapsiblePane& Details() {
        return dynamic_cast<wxCollapsiblePane&>(*dialog.FindWindow(IDC_DETAILS));
    }
    std::string DetailsText() {
        return PathFromText(
            dynamic_cast<wxTextCtrl&>(*dialog.FindWindow(IDC_DETAILS_TEXT)).GetValue());
    }
    int Focus() { return wxWindow::FindFocus() ? wxWindow::FindFocus()->GetId() : 0; }

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
    void ShowOutcomeOf(JoinReport report) {
        product.WriteSeries(1, 1, 4);
        fakeJoin = [report] { return report; };
        TypeBoth(existingFile, existingFolder);
        ModalScript user;  // a failure's message box
        user.Then([](wxDialog&) { return wxID_OK; });
        RunToTheEnd();
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

JoinReport Written(std::vector<std::string> warnings = {}) {
    JoinReport report;
    report.segments.resize(2);
    report.outputPath = (fs::temp_directory_path() / "h.xyz").string();
    report.bytesWritten = 16;
    report.warnings = std::move(warnings);
    return report;
}

// Also run at a 16-point font on a 1280-pixel screen, at GDK_SCALE=2 on a
// 1920-pixel one, and in a dark theme (CMakeLists.txt).
TEST_F(SegweldDlgTest, LayoutFitsTheScreenWithEveryTextWholeAndGrowsInWidthOnly) {
    if (const char* points = std::getenv("SEGWELD_TEST_FONT_POINTS")) {
        ASSERT_EQ(dialog.GetFont().GetPointSize(), std::atoi(points));
    }
    if (const char* scale = std::getenv("GDK_SCALE")) {
        ASSERT_EQ(dialog.GetContentScaleFactor(), std::atof(scale));
    }
    EXPECT_TRUE(dialog.GetDefaultItem() == dialog.FindWindow(IDC_RUN) &&
                !dialog.FindWindow(wxID_CANCEL)->IsShown());
#ifdef __WXMSW__
    EXPECT_NE(::GetWindowLongW(dialog.GetHWND(), GWL_STYLE) & WS_MINIMIZEBOX, 0);
#endif
    const int screenWidth = wxDisplay(&dialog).GetClientArea().width;
    const auto checkNothingClipped = [&] {
        std::vector<wxWindow*> shown;
        for (wxWindow* child : dialog.GetChildren()) {
            if (child->IsShown()) {
                SCOPED_TRACE(PathFromText(Shown(*child)));
                const wxRect rect = child->GetRect();
                wxClientDC dc(child);  // the status line: the size of its text
                dc.SetFont(child->GetFont());
                const wxSize needed = child->GetId() == IDC_STATUS
                                          ? dc.GetMultiLineTextExtent(Shown(*child))
                                          : child->GetBestSize();
                EXPECT_GE(rect.height, needed.y);
                if (dynamic_cast<wxTextCtrl*>(child) == nullptr) {
                    EXPECT_GE(rect.width, needed.x) << "only boxes give way";
                }
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
    EXPECT_LE(dialog.GetSize().x, screenWidth);
    checkNothingClipped();
    const wxSize laidOut = dialog.GetSize();
    const int boxWidth = Box(IDC_OUTPUT_FOLDER).GetSize().x;
    dialog.SetSize(laidOut + wxSize(300, 300));
    EXPECT_EQ(dialog.GetSize(), laidOut + wxSize(300, 0));
    EXPECT_EQ(Box(IDC_OUTPUT_FOLDER).GetSize().x, boxWidth + 300);
    checkNothingClipped();
    dialog.SetSize(wxSize(1, laidOut.y));
    EXPECT_EQ(dialog.GetSize(), dialog.GetMinSize());
    checkNothingClipped();
    dialog.SetSize(laidOut);

    // An incomplete outcome with its Details open: the window grows in height only.
    // A warning as long as the screen is wide breaks into lines.
    std::string warning = "no file exists for segment 5";
    while (dialog.GetTextExtent(warning).x < screenWidth) {
        warning += ", nor for the next";
    }
    ShowOutcomeOf(Written({warning, "x"}));
    const int collapsed = dialog.GetSize().y;
    Details().Expand();
    wxCollapsiblePaneEvent opened(&Details(), IDC_DETAILS, false);
    Details().GetEventHandler()->ProcessEvent(opened);
    EXPECT_GT(dialog.GetSize().y, collapsed);
    EXPECT_GE(dialog.GetClientSize().y, dialog.GetSizer()->GetMinSize().y);
    checkNothingClipped();
}

TEST_F(SegweldDlgTest, RefusedRunsAndWrongPicksSayWhyAndPutTheFocusWhereTheFixIs) {
    product.WriteSeries(1, 1, 4);
    const std::string folder = product.inputFolder;
    const std::string name = SegmentFileName(1);
    const std::string prologue = folder + "/" + name.substr(0, 36) + "PRO______" + name.substr(45);
    const std::string picture = folder + "/a.png";
    WriteFile(prologue, {1});
    WriteFile(picture, {1});
    JoinReport outputFailed;
    outputFailed.error = "Cannot create the output in /out: No space left on device";
    struct Case {
        std::string file, folder, says;  // `says`: what the message holds
        long icon;
        int focus;
        bool failedJoin = false;  // on the status line too, not only in a message box
        std::function<JoinReport()> join = nullptr;  // on the join's thread; none: not joined
    };
    const Case cases[] = {
        {"", "", "Please select a file to process.", wxICON_WARNING, IDC_FIRST_FILE},
        {missing, "", "The input file does not exist.\n\n" + missing, wxICON_WARNING,
         IDC_FIRST_FILE},
        {existingFile, "", "Please select a folder where to write the resulting joined file.",
         wxICON_WARNING, IDC_OUTPUT_FOLDER},
        {existingFile, missing, "The output folder does not exist.\n\n" + missing, wxICON_WARNING,
         IDC_OUTPUT_FOLDER},
        {existingFile, picture, picture + " is a file, not a folder", wxICON_WARNING,
         IDC_OUTPUT_FOLDER},
        {folder, existingFolder, folder + " is a folder, not a segment file", wxICON_ERROR,
         IDC_FIRST_FILE, true},
        {prologue, existingFolder, prologue + " is the prologue of its product, not a segment",
         wxICON_ERROR, IDC_FIRST_FILE, true},
        {existingFile, existingFolder, outputFailed.error, wxICON_ERROR, IDC_RUN, true,
         [&] { return outputFailed; }},
        {existingFile, existingFolder, "The join stopped: out of memory", wxICON_ERROR, IDC_RUN,
         true, []() -> JoinReport { throw std::runtime_error("out of memory"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("file \"" + c.file + "\", folder \"" + c.folder + "\": " + c.says);
        fakeJoin = c.join;
        const int joinsBefore = joins;
        TypeBoth(c.file, c.folder);
        std::string buttonAtMessage;
        ModalScript user;
        user.Then([&](wxDialog&) { return buttonAtMessage = RunButton(), wxID_OK; });

        RunToTheEnd();

        ASSERT_EQ(user.shown().size(), 1u);
        const ShownDialog& message = user.shown()[0];
        EXPECT_EQ(message.caption + "|" + std::to_string(message.icon) + "|" +
                      std::to_string(message.parent == &dialog),
                  "Segweld|" + std::to_string(c.icon) + "|1");
        EXPECT_NE(message.text.find(c.says), std::string::npos) << message.text;
        EXPECT_EQ(buttonAtMessage, kRunning);
        EXPECT_EQ(RunButton(), kIdle);
        EXPECT_EQ(Focus(), c.focus);
        EXPECT_EQ(dialog.StatusText().empty(), !c.failedJoin);
        EXPECT_EQ(Details().IsShown() ? DetailsText() : "", c.failedJoin ? message.text : "");
        EXPECT_EQ(joins - joinsBefore, c.join ? 1 : 0);
        EXPECT_EQ(Text(IDC_FIRST_FILE) + "|" + Text(IDC_OUTPUT_FOLDER), c.file + "|" + c.folder);
    }
}

#ifdef __WXGTK__
// Of the pixels on the screen in `rect`, how many are within a small distance
// of `colour`; `commonest`: the colour of most of them (the background).
int PixelsNear(const wxRect& rect, const wxColour& colour, wxColour* commonest = nullptr) {
    const std::vector<uint8_t> rgb = GrabScreen(rect.x, rect.y, rect.width, rect.height);
    std::map<std::tuple<int, int, int>, int> counts;
    int near = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        ++counts[{rgb[i], rgb[i + 1], rgb[i + 2]}];
        near += std::abs(rgb[i] - colour.Red()) + std::abs(rgb[i + 1] - colour.Green()) +
                    std::abs(rgb[i + 2] - colour.Blue()) <=
                24;
    }
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](auto& a, auto& b) { return a.second < b.second; });
    if (commonest != nullptr && most != counts.end()) {
        const auto [red, green, blue] = most->first;
        *commonest = wxColour(red, green, blue);
    }
    return near;
}
#endif

// Also run in a dark theme (CMakeLists.txt), where the colours are lighter.
TEST_F(SegweldDlgTest, OutcomesLookDifferentAndDetailsHoldEveryWarningInFull) {
    JoinReport failed, stopped;
    failed.error = "Cannot create the output in /out: Permission denied";
    stopped.stopped = true;
    stopped.error = kStopped;
    const std::string warning =
        "no file exists for segment 5, so the walk ended there; segment files beyond it were "
        "not joined: 6-8 " +
        std::string(200, 'x');
    // Joined, incomplete, failed, stopped.
    const JoinReport cases[] = {Written(), Written({"only 4 of the 8 planned segments", warning}),
                                failed, stopped};
    std::set<std::string> colours;
    for (const JoinReport& report : cases) {
        SCOPED_TRACE(report.error + (report.warnings.empty() ? "" : report.warnings[0]));
        ShowOutcomeOf(report);
        wxWindow& icon = *dialog.FindWindow(IDC_OUTCOME_ICON);
        wxWindow& line = *dialog.FindWindow(IDC_STATUS);
        const wxColour colour = line.GetForegroundColour();
        colours.insert(PathFromText(colour.GetAsString(wxC2S_HTML_SYNTAX)));
        EXPECT_GE(ContrastRatio(colour, dialog.GetBackgroundColour()), 4.5);
        EXPECT_TRUE(icon.IsShown());
        EXPECT_EQ(dialog.FindWindow(IDC_SHOW_FOLDER)->IsShown(), report.written());
        EXPECT_TRUE(Details().IsShown() && Details().AcceptsFocusFromKeyboard());
        for (const std::string& each : report.warnings) {
            EXPECT_NE(DetailsText().find("Warning: " + each), std::string::npos) << each;
        }
        EXPECT_EQ(Focus(), IDC_RUN);
#ifdef __WXGTK__
        // On the screen: the icon and the line's text in the outcome's colour,
        // which stands out from the background the line is drawn on.
        dialog.Raise();
        PumpUntil([] { return false; }, std::chrono::milliseconds(300));
        const wxRect iconRect = icon.GetScreenRect();
        EXPECT_GT(PixelsNear(iconRect, colour), iconRect.width * iconRect.height / 4);
        wxColour background;
        EXPECT_GT(PixelsNear(line.GetScreenRect(), colour, &background), 20);
        EXPECT_GE(ContrastRatio(colour, background), 4.5);
#endif
    }
    EXPECT_EQ(colours.size(), 4u);
}

TEST_F(SegweldDlgTest, StopAndCloseAnswerAtOnceAndAJoinThatHangsIsLeftBehindWritingNothing) {
    product.WriteSeries(1, 3, 16);
    struct Case {
        std::string how;  // what the user does
        bool joining;     // during a join
        bool hangs;       // the join does not let go
        int returnCode;   // what the dialog ends with; 0: it stays open
    };
    const Case cases[] = {{"Escape", false, false, wxID_CANCEL},
                          {"Close", false, false, wxID_OK},
                          {"Stop", true, false, 0},
                          {"Escape", true, false, 0},
                          {"Close", true, false, wxID_OK},
                          {"close box", true, false, wxID_CANCEL},
                          {"Escape, then Close", true, false, wxID_OK},
                          {"Stop", true, true, 0},
                          {"Close", true, true, wxID_OK},
                          {"close box", true, true, wxID_CANCEL}};
    dialog.Hide();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how + (c.joining ? " during a join" : "") + (c.hangs ? " that hangs" : ""));
        dialog.m_firstFile = "";
        const int joinsBefore = joins;
        ModalScript user;
        user.Then(RunAndDo([&](wxDialog&) {
            TypeBoth(c.joining ? existingFile : "file", existingFolder);
            if (c.joining) {
                Hold(arrivals_ + 3);  // before segment 1, after its data, before segment 2
                Click(IDC_RUN);
                ASSERT_TRUE(PumpUntil([&] {
                    return arrivals_ > allowed_ &&
                           dialog.StatusText().find("segment 2") != std::string::npos;
                }));
                EXPECT_EQ(dialog.StatusText(), "Joining segment 2 of 8 (12%): 16 bytes written");
                EXPECT_EQ(Title(), "12% - Segweld");
                const auto& gauge = dynamic_cast<wxGauge&>(*dialog.FindWindow(IDC_PROGRESS));
                EXPECT_TRUE(gauge.IsShown() && dialog.FindWindow(IDC_STOP)->IsShown());
                EXPECT_EQ(gauge.GetValue(), 12);
                EXPECT_EQ(RunButton(), kRunning);
                Click(IDC_RUN);  // neither this nor Enter starts another join
                wxCommandEvent enter(wxEVT_TEXT_ENTER, IDC_FIRST_FILE);
                Box(IDC_FIRST_FILE).GetEventHandler()->ProcessEvent(enter);
            }
            c.how.starts_with("Escape") ? PressKey(WXK_ESCAPE) : void();
            c.how == "Stop" ? Click(IDC_STOP) : void();
            c.how.ends_with("Close") ? Click(wxID_OK) : void();
            c.how == "close box" ? (void)dialog.Close() : void();
            if (c.joining) {  // heard at once, before any event has run
                EXPECT_EQ(dialog.StatusText() + "|" + Title(), "Stopping...|Stopping... - Segweld");
                EXPECT_FALSE(dialog.FindWindow(IDC_STOP)->IsEnabled());
                EXPECT_TRUE(StillOpen(dialog)) << "ended before the join let go";
            }
            if (!c.hangs) {
                Hold(kNoHold);
            }
            PumpUntil(
                [&] { return !dialog.joining() && (c.returnCode == 0 || !StillOpen(dialog)); });
            if (c.returnCode == 0) {
                EXPECT_EQ(dialog.StatusText() + "|" + Title(), std::string(kStopped) + "|Segweld");
                EXPECT_FALSE(dialog.FindWindow(IDC_STOP)->IsShown());
                EXPECT_EQ(RunButton(), kIdle);
                Click(wxID_OK);
            }
        }));
        EXPECT_EQ(dialog.ShowModal(), c.returnCode == 0 ? wxID_OK : c.returnCode);
        EXPECT_EQ(arrivals_ > allowed_, c.hangs) << "still held when the dialog went on";
        Hold(kNoHold);
        EXPECT_TRUE(JoinWorker::ThreadsEnded(std::chrono::seconds(10)));
        EXPECT_TRUE(!dialog.joining() && fs::is_empty(existingFolder));
        EXPECT_EQ(joins - joinsBefore, c.joining ? 1 : 0);
        EXPECT_EQ(dialog.m_firstFile.empty(), !c.joining && c.returnCode == wxID_CANCEL);
    }
}

TEST_F(SegweldDlgTest, BrowseFileAndFolderStartWhereTheBoxesPointAndFillOnlyTheirBoxes) {
    product.WriteSeries(1, 1, 4);
    const std::string inputFolder = product.inputFolder;
    const fs::path accented = product.input.path() / FromUtf8("m\xc3\xa9t\xc3\xa9o");
    fs::create_directory(accented);
    fs::copy_file(FromUtf8(existingFile), accented / SegmentFileName(1));
    struct Case {
        std::string typedFile, typedFolder, folderMember, startFolder, expectedFolder;
    };
    const Case cases[] = {
        {existingFile, "/member", "/member", inputFolder, "/member"},
        {Utf8(accented / SegmentFileName(1)), "/member", "/member", Utf8(accented), "/member"},
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
            // Segment files first, stored plain or compressed; every file last.
            EXPECT_TRUE(shown.HasFlag(wxFD_OPEN));
            EXPECT_TRUE(files.GetWildcard().StartsWith("Segment files, plain or compressed"));
            const wxString segment = "*___-" + wxString('?', 12) + "-" + wxString('?', 2);
            EXPECT_TRUE(files.GetWildcard().Contains("|" + segment + ";" + segment + ".bz2;"));
            EXPECT_EQ(files.GetWildcard().AfterLast('|'), wxFileSelectorDefaultWildcardStr);
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

// A person at the keyboard alone: the access keys, a path pasted with blanks
// around it, Enter in a path box, Details, Show in folder. The join is real:
// a product with a gap, filled, into a folder whose name is not ASCII. Also
// run at a 16-point font (CMakeLists.txt).
TEST_F(SegweldDlgTest, TheKeyboardAloneJoinsAProductFillingItsGapAndShowsWhereItWent) {
    std::set<wxString> keys;
    for (wxWindow* child : dialog.GetChildren()) {
        const wxString label = child->GetLabel();
        if (!label.empty() && child->GetId() != wxID_CANCEL && child->GetId() != IDC_STATUS) {
            EXPECT_EQ(label.Freq('&'), 1) << label;
            EXPECT_TRUE(keys.insert(label.AfterFirst('&').Left(1).Upper()).second) << label;
        }
    }
    keys.insert("D");  // the Details pane's, a label wxGTK keeps to itself
    EXPECT_EQ(keys.size(), 11u);
    product.WriteSeries(1, 2, 4);
    product.WriteSeries(4, 8, 4);
    const fs::path output = product.output.path() / FromUtf8("sortie \xc3\xa9t\xc3\xa9");
    fs::create_directory(output);
    wxTheClipboard->Open();
    wxTheClipboard->SetData(new wxTextDataObject(TextFromPath(" \t" + existingFile + " \n")));
    wxTheClipboard->Close();
    // Inside the dialog's own modal loop, where wxMSW handles the access keys;
    // any other dialog fails the test rather than waiting.
    dialog.Hide();
    ModalScript seen;
    seen.Then(RunAndDo([&](wxDialog&) {
        wxUIActionSimulator user;
        const auto press = [&](int key, int modifiers, int focus) {
            user.Char(key, modifiers);
            EXPECT_TRUE(PumpUntil([&] { return Focus() == focus; })) << key;
        };
        // Xvfb, without a window manager, gives the keys to the window under the pointer.
        user.MouseMove(dialog.GetScreenRect().GetBottomRight() - wxPoint(4, 4));
        Box(IDC_FIRST_FILE).SetFocus();
        PumpUntil([&] { return Focus() == IDC_FIRST_FILE; });

        press('o', wxMOD_ALT, IDC_OUTPUT_FOLDER);
        Box(IDC_OUTPUT_FOLDER).ChangeValue(TextFromPath(Utf8(output)));
        press('g', wxMOD_ALT, IDC_FILL_GAPS);
        press('f', wxMOD_ALT, IDC_FIRST_FILE);
        user.Char('v', wxMOD_CONTROL);
        EXPECT_TRUE(PumpUntil([&] { return Text(IDC_FIRST_FILE) == existingFile; }));
        user.Char(WXK_RETURN);
        ASSERT_TRUE(PumpUntil([&] { return joins == 1 && !dialog.joining(); }));
        EXPECT_TRUE(StillOpen(dialog)) << "Enter closed the window";
        ASSERT_EQ(std::distance(fs::directory_iterator(output), {}), 1);
        const fs::path written = fs::directory_iterator(output)->path();
        EXPECT_EQ(fs::file_size(written), 32u) << "segment 3 filled";
        // The line breaks between words only.
        std::string status = dialog.StatusText();
        std::replace(status.begin(), status.end(), '\n', ' ');
        EXPECT_NE(status.find(kFolderSeparator + Utf8(written.filename()) +
                              " 2 warnings, the first: missing segment 3"),
                  std::string::npos)
            << status;
        press('d', wxMOD_ALT, IDC_DETAILS_TEXT);
        EXPECT_TRUE(Details().IsExpanded());
        EXPECT_NE(DetailsText().find(Utf8(written)), std::string::npos) << DetailsText();
#ifdef __WXGTK__
        // Show in folder hands the output's folder to the desktop's opener.
        const std::string opened = product.input / "opened", path = std::getenv("PATH");
        std::ofstream(product.input / "xdg-open")
            << "#!/bin/sh\nprintf %s \"$1\" >" << opened << "\n";
        fs::permissions(product.input / "xdg-open", fs::perms::owner_all);
        setenv("PATH", (product.input.path().string() + ":" + path).c_str(), 1);
        user.Char('h', wxMOD_ALT);
        EXPECT_TRUE(PumpUntil([&] { return fs::exists(opened) && fs::file_size(opened) > 0; }));
        setenv("PATH", path.c_str(), 1);
        std::ifstream in(opened);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), Utf8(output) + "/");
#endif
        dialog.EndModal(wxID_OK);
    }));
    dialog.ShowModal();
}

TEST_F(SegweldDlgTest, AboutBoxOpensFromItsButtonF1AndTheBackgroundMenuButBoxesKeepTheirOwnMenu) {
    EXPECT_EQ(CSegweldDlg::CreateSystemMenu()->GetLabel(IDM_ABOUTBOX), "&About segweld...");
    wxContextMenuEvent rightClick(wxEVT_CONTEXT_MENU, IDC_FIRST_FILE);
    rightClick.SetEventObject(&Box(IDC_FIRST_FILE));
    EXPECT_FALSE(Box(IDC_FIRST_FILE).ProcessWindowEvent(rightClick)) << "taken from GTK's menu";
    const auto seeVersionAndPressOk = [](wxDialog& about) {
        EXPECT_TRUE(wxWindow::FindWindowByLabel("Segweld Version " SEGWELD_VERSION, &about));
        return wxID_OK;
    };
    ModalScript user;
    user.Then(seeVersionAndPressOk).Then(seeVersionAndPressOk).Then(seeVersionAndPressOk);

    Click(IDC_ABOUT);
    PressKey(WXK_F1);
    wxCommandEvent command(wxEVT_MENU, IDM_ABOUTBOX);
    dialog.GetEventHandler()->ProcessEvent(command);

    EXPECT_EQ(user.shown(), std::vector(3, ShownDialog{"About segweld", "", &dialog}));
}

}  // namespace
}  // namespace segweld
