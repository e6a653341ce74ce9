#include "tests/ui/modal_script.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "ui/about_dlg.h"
#include "ui/folder_browser.h"
#include "ui/path_text.h"

namespace segweld::test {
namespace {

ShownDialog Describe(wxDialog& dialog) {
    ShownDialog shown;
    shown.kind = "other";
    shown.caption = PathFromText(dialog.GetTitle());
    shown.parent = dialog.GetParent();
    if (auto* message = dynamic_cast<wxMessageDialogBase*>(&dialog)) {
        shown.kind = "message";
        shown.text = PathFromText(message->GetMessage());
        shown.caption = PathFromText(message->GetCaption());
    } else if (dynamic_cast<wxFileDialogBase*>(&dialog) != nullptr) {
        shown.kind = "file";
    } else if (dynamic_cast<FolderBrowser*>(&dialog) != nullptr) {
        shown.kind = "folder browser";
    } else if (dynamic_cast<CAboutDlg*>(&dialog) != nullptr) {
        shown.kind = "about";
    }
    return shown;
}

}  // namespace

ModalScript::ModalScript() {
    Register();
}

ModalScript::~ModalScript() {
    Unregister();
}

ModalScript& ModalScript::Then(Answer answer) {
    answers_.push_back(std::move(answer));
    return *this;
}

std::vector<std::string> ModalScript::MessageTexts() const {
    std::vector<std::string> texts;
    for (const ShownDialog& dialog : shown_) {
        if (dialog.kind == "message") {
            texts.push_back(dialog.text);
        }
    }
    return texts;
}

int ModalScript::Enter(wxDialog* dialog) {
    shown_.push_back(Describe(*dialog));
    if (answers_.empty()) {
        ADD_FAILURE() << "unexpected " << shown_.back().kind << " dialog \""
                      << shown_.back().caption << "\": " << shown_.back().text;
        return wxID_CANCEL;
    }
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    return answer(*dialog);
}

ModalScript::Answer Press(int id) {
    return [id](wxDialog&) { return id; };
}

// GTK's file chooser takes a path in only once it has read the folder, which
// it does in the background; until then it reports no path at all.
ModalScript::Answer ChooseFile(const std::string& path) {
    return [path](wxDialog& dialog) {
        auto& files = As<wxFileDialogBase>(dialog);
        files.SetPath(TextFromPath(path));
        PumpUntil([&] { return PathFromText(files.GetPath()) == path; });
        return wxID_OK;
    };
}

bool PumpUntil(const std::function<bool()>& done) {
    for (int round = 0; round < 5000; ++round) {
        wxTheApp->Yield(true);
        wxTheApp->ProcessPendingEvents();
        if (done()) {
            return true;
        }
        wxMilliSleep(2);
    }
    return false;
}

ModalScript::Answer RunAndDo(std::function<void(wxDialog&)> act) {
    return [act](wxDialog& dialog) {
        dialog.CallAfter([act, &dialog] {
            act(dialog);
            if (dialog.IsModal()) {
                ADD_FAILURE() << "the dialog \"" << dialog.GetTitle() << "\" was left open";
                dialog.EndModal(wxID_CANCEL);
            }
        });
        return wxID_NONE;
    };
}

}  // namespace segweld::test
