#pragma once

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ui/path_text.h"

namespace segweld::test {

// One modal dialog that the code under test showed.
struct ShownDialog {
    std::string caption;
    std::string text;  // a message box's message; empty for other dialogs
    wxWindow* parent = nullptr;
    long icon = 0;  // a message box's wxICON_ style
    bool operator==(const ShownDialog&) const = default;
};
inline void PrintTo(const ShownDialog& shown, std::ostream* out) {
    *out << '"' << shown.caption << "\": \"" << shown.text << "\" owned by " << shown.parent
         << " icon " << shown.icon;
}

// Stands in for the user in front of modal dialogs: answers each dialog shown
// with the next answer of the script and records it. A dialog beyond the
// script fails the test and is cancelled without being shown.
class ModalScript : public wxModalDialogHook {
  public:
    // Returns what ShowModal is to return, or wxID_NONE to let the dialog run.
    using Answer = std::function<int(wxDialog&)>;

    ModalScript() { Register(); }
    ~ModalScript() override { Unregister(); }
    ModalScript& Then(Answer answer) {
        answers_.push_back(std::move(answer));
        return *this;
    }
    const std::vector<ShownDialog>& shown() const { return shown_; }

  protected:
    int Enter(wxDialog* dialog) override {
        auto* message = dynamic_cast<wxMessageDialogBase*>(dialog);
        const ShownDialog& shown = shown_.emplace_back(
            PathFromText(message ? message->GetCaption() : dialog->GetTitle()),
            message ? PathFromText(message->GetMessage()) : "", dialog->GetParent(),
            message ? message->GetMessageDialogStyle() & wxICON_MASK : 0);
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected dialog \"" << shown.caption << "\": " << shown.text;
            return wxID_CANCEL;
        }
        const Answer answer = std::move(answers_.front());
        answers_.pop_front();
        return answer(*dialog);
    }
    void Exit(wxDialog*) override {}

  private:
    std::deque<Answer> answers_;
    std::vector<ShownDialog> shown_;
};

// Runs the window's events until `done` holds, for at most `limit`.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    for (auto round = limit.count() / 2; round >= 0; --round, wxMilliSleep(2)) {
        wxTheApp->Yield(true);
        wxTheApp->ProcessPendingEvents();
        if (done()) {
            return true;
        }
    }
    return false;
}

// Picks `path` in a file dialog. GTK's file chooser takes a path in only once it
// has read the folder, which it does in the background; until then it reports
// no path at all.
inline ModalScript::Answer ChooseFile(const std::string& path) {
    return [path](wxDialog& dialog) {
        auto& files = dynamic_cast<wxFileDialogBase&>(dialog);
        files.SetPath(TextFromPath(path));
        PumpUntil([&] { return PathFromText(files.GetPath()) == path; });
        return wxID_OK;
    };
}

// Whether a modal dialog has not been ended yet. wxMSW keeps a dialog modal
// until its loop returns, after EndModal has already hidden it.
inline bool StillOpen(const wxDialog& dialog) {
    return dialog.IsModal() && dialog.IsShown();
}

// Lets the dialog run for real and calls `act` inside its modal loop; `act`
// ends it. One that is left open fails the test and is cancelled.
inline ModalScript::Answer RunAndDo(std::function<void(wxDialog&)> act) {
    return [act](wxDialog& dialog) {
        dialog.CallAfter([act, &dialog] {
            act(dialog);
            if (StillOpen(dialog)) {
                ADD_FAILURE() << "the dialog \"" << dialog.GetTitle() << "\" was left open";
                dialog.EndModal(wxID_CANCEL);
            }
        });
        return wxID_NONE;
    };
}

// Makes the folder `name` inside `parent` and gives its path, with the
// system's own separators.
inline std::string MakeFolder(const std::filesystem::path& parent, const std::string& name) {
    std::filesystem::create_directories(parent / name);
    return (parent / name).make_preferred().string();
}

}  // namespace segweld::test
