#include "tests/ui/modal_script.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "ui/path_text.h"

namespace segweld::test {

ModalScript& ModalScript::Then(Answer answer) {
    answers_.push_back(std::move(answer));
    return *this;
}

int ModalScript::Enter(wxDialog* dialog) {
    ShownDialog& shown =
        shown_.emplace_back(PathFromText(dialog->GetTitle()), "", dialog->GetParent());
    if (auto* message = dynamic_cast<wxMessageDialogBase*>(dialog)) {
        shown.text = PathFromText(message->GetMessage());
        shown.caption = PathFromText(message->GetCaption());
    }
    if (answers_.empty()) {
        ADD_FAILURE() << "unexpected dialog \"" << shown.caption << "\": " << shown.text;
        return wxID_CANCEL;
    }
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    return answer(*dialog);
}

// GTK's file chooser takes a path in only once it has read the folder, which
// it does in the background; until then it reports no path at all.
ModalScript::Answer ChooseFile(const std::string& path) {
    return [path](wxDialog& dialog) {
        auto& files = dynamic_cast<wxFileDialogBase&>(dialog);
        files.SetPath(TextFromPath(path));
        PumpUntil([&] { return PathFromText(files.GetPath()) == path; });
        return wxID_OK;
    };
}

std::string MakeFolder(const std::filesystem::path& parent, const std::string& name) {
    std::filesystem::create_directories(parent / name);
    return (parent / name).string();
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
