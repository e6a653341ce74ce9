// Takes the pictures of Segweld's dialogs that docs/ shows: the main dialog
// during and after a join of a product it writes into SCRATCH_FOLDER, after
// the join of an incomplete product with its Details open, the about box and
// the folder chooser; with a third argument only the incomplete join, under
// that name (scripts/screenshots runs it so at a large font). Runs on an X
// server (scripts/screenshots starts one).
//
//   ui_screenshots PICTURE_FOLDER SCRATCH_FOLDER [DIALOG_PICTURE_NAME]
#include <wx/app.h>
#include <wx/collpane.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/modalhook.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include <png.h>

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "join/segment_name.h"
#include "os/native_path.h"
#include "tests/support/header_builder.h"
#include "ui/about_dlg.h"
#include "ui/folder_browser.h"
#include "ui/folder_chooser.h"
#include "ui/path_text.h"
#include "ui/screenshots/screen_grab.h"
#include "ui/segweld_dlg.h"

namespace segweld {
namespace {

namespace fs = std::filesystem;

// Lets the X server, GTK and the window manager draw what was shown.
void Settle() {
    wxGUIEventLoop loop;
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&loop](wxTimerEvent&) { loop.Exit(); });
    timer.StartOnce(700);
    loop.Run();
}

bool SaveWindow(wxTopLevelWindow& window, const std::string& file) {
    window.Raise();
    Settle();
    // Where GTK scales its windows (GDK_SCALE), the whole screen, in the
    // device pixels that the X screen counts.
    const double scale = window.GetContentScaleFactor();
    const wxRect frame = scale == 1 ? window.GetScreenRect()
                                    : wxRect(wxPoint(), wxGetDisplaySize() * scale);
    const std::vector<uint8_t> rgb = test::GrabScreen(frame.x, frame.y, frame.width, frame.height);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(frame.width);
    image.height = static_cast<png_uint_32>(frame.height);
    image.format = PNG_FORMAT_RGB;
    const bool saved =
        !rgb.empty() && png_image_write_to_file(&image, file.c_str(), 0, rgb.data(), 0, nullptr);
    std::printf("%s %s (%d x %d)\n", saved ? "wrote" : "could not write", file.c_str(), frame.width,
                frame.height);
    return saved;
}

// The eight segments of one IR 10.8 product as the dissemination sends them,
// but for segment `missing` (none: 0).
std::string WriteProduct(const fs::path& folder, int missing = 0) {
    fs::create_directories(folder);
    const std::string name = test::kWorkedExample;
    for (uint16_t number = 1; number <= 8; ++number) {
        if (number == missing) {
            continue;
        }
        test::SegmentShape shape;
        shape.sequence = number;
        shape.annotation = SegmentName(shape.annotation, number);
        const std::vector<uint8_t> header = test::RealSegmentHeader(shape);
        std::ofstream out(folder / SegmentName(name, number), std::ios::binary);
        out.write(reinterpret_cast<const char*>(header.data()),
                  static_cast<std::streamsize>(header.size()));
        const std::string data(test::DataFieldBits(shape) / 8, '\0');
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    return (folder / SegmentName(name, 1)).string();
}

// Photographs the folder browser as soon as it is open, then cancels it.
class BrowserCamera : public wxModalDialogHook {
  public:
    explicit BrowserCamera(std::string file) : file_(std::move(file)) { Register(); }
    ~BrowserCamera() override { Unregister(); }
    bool saved = false;

  protected:
    int Enter(wxDialog* dialog) override {
        if (dynamic_cast<FolderBrowser*>(dialog) == nullptr) {
            return wxID_CANCEL;
        }
        dialog->CallAfter([this, dialog] {
            saved = SaveWindow(*dialog, file_);
            dialog->EndModal(wxID_CANCEL);
        });
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {}

  private:
    std::string file_;
};

void Type(CSegweldDlg& dialog, int id, const std::string& text) {
    auto& box = dynamic_cast<wxTextCtrl&>(*dialog.FindWindow(id));
    box.ChangeValue(TextFromPath(text));
    box.SetInsertionPointEnd();
}

// A join that holds still before segment `holdAt` until Release: the
// dialog shows its progress meanwhile.
class HeldJoin {
  public:
    explicit HeldJoin(int32_t holdAt) : holdAt_(holdAt) {}

    JoinReport operator()(std::string file, std::string folder, const JoinOptions& options) {
        JoinOptions held = options;
        held.progress = [this, &options](const JoinProgress& progress) {
            const bool goOn = options.progress(progress);
            if (progress.segmentNumber == holdAt_) {
                std::unique_lock lock(mutex_);
                reached_ = true;
                released_.wait(lock, [this] { return letGo_; });
            }
            return goOn;
        };
        return JoinSegments(std::move(file), std::move(folder), held);
    }
    bool reached() {
        std::lock_guard lock(mutex_);
        return reached_;
    }
    void Release() {
        std::lock_guard lock(mutex_);
        letGo_ = true;
        released_.notify_all();
    }

  private:
    int32_t holdAt_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool reached_ = false;
    bool letGo_ = false;
};

void Run(CSegweldDlg& dialog, const std::string& firstFile, const std::string& output) {
    Type(dialog, IDC_FIRST_FILE, firstFile);
    Type(dialog, IDC_OUTPUT_FOLDER, output);
    wxCommandEvent run(wxEVT_BUTTON, IDC_RUN);
    dialog.FindWindow(IDC_RUN)->GetEventHandler()->ProcessEvent(run);
}

void SettleUntil(const std::function<bool()>& done) {
    while (!done()) {
        Settle();
    }
}

// The dialog after joining a product whose fifth segment is missing, its
// Details open.
bool TakeIncompleteJoin(const fs::path& picture, const fs::path& scratch) {
    const std::string firstFile = WriteProduct(scratch / "gapped", 5);
    const std::string output = (scratch / "joined-gapped").string();
    fs::create_directories(output);
    CSegweldDlg dialog(nullptr);
    dialog.Show();
    Run(dialog, firstFile, output);
    SettleUntil([&] { return !dialog.joining(); });
    auto& details = dynamic_cast<wxCollapsiblePane&>(*dialog.FindWindow(IDC_DETAILS));
    details.Expand();
    wxCollapsiblePaneEvent opened(&details, IDC_DETAILS, false);
    details.GetEventHandler()->ProcessEvent(opened);
    return SaveWindow(dialog, picture.string());
}

bool TakePictures(const fs::path& pictures, const fs::path& scratch, const std::string& only) {
    fs::remove_all(scratch);
    fs::create_directories(pictures);
    if (!only.empty()) {
        return TakeIncompleteJoin(pictures / only, scratch);
    }
    const std::string firstFile = WriteProduct(scratch / "hrit");
    const std::string output = (scratch / "joined").string();
    fs::create_directories(output);

    HeldJoin join(5);
    CSegweldDlg dialog(nullptr, std::ref(join));
    dialog.Show();
    Run(dialog, firstFile, output);
    SettleUntil([&] { return join.reached(); });
    bool saved = SaveWindow(dialog, (pictures / "dialog-joining.png").string());
    join.Release();
    SettleUntil([&] { return !dialog.joining(); });
    saved = SaveWindow(dialog, (pictures / "dialog.png").string()) && saved;
    dialog.Hide();
    saved = TakeIncompleteJoin(pictures / "dialog-incomplete.png", scratch) && saved;
    dialog.Show();

    CAboutDlg about(&dialog);
    about.Show();
    saved = SaveWindow(about, (pictures / "about.png").string()) && saved;
    about.Hide();

    BrowserCamera camera((pictures / "folder-chooser.png").string());
    ChooseFolder(&dialog, "Choose Destination Folder", output);
    return camera.saved && saved;
}

}  // namespace
}  // namespace segweld

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fputs("usage: ui_screenshots PICTURE_FOLDER SCRATCH_FOLDER [DIALOG_PICTURE_NAME]\n",
                   stderr);
        return 2;
    }
    const std::filesystem::path pictures = segweld::os::PathOf(argv[1]);
    const std::filesystem::path scratch = segweld::os::PathOf(argv[2]);
    const std::string only = argc == 4 ? argv[3] : "";
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) {
        std::fputs("ui_screenshots: no display\n", stderr);
        return 2;
    }
    wxTheApp->SetAppName("segweld");
    const bool saved = segweld::TakePictures(pictures, scratch, only);
    wxEntryCleanup();
    return saved ? 0 : 1;
}
