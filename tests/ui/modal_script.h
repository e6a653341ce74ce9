#pragma once

#include <wx/dialog.h>
#include <wx/modalhook.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace segweld::test {

// One modal dialog that the code under test showed.
struct ShownDialog {
    std::string caption;
    std::string text;  // a message box's message; empty for other dialogs
    wxWindow* parent = nullptr;
};

// Stands in for the user in front of modal dialogs: answers each dialog shown
// with the next answer of the script and records it. A dialog beyond the
// script fails the test and is cancelled without being shown.
class ModalScript : public wxModalDialogHook {
  public:
    // Returns what ShowModal is to return, or wxID_NONE to let the dialog run.
    using Answer = std::function<int(wxDialog&)>;

    ModalScript() { Register(); }
    ~ModalScript() override { Unregister(); }
    ModalScript& Then(Answer answer);
    const std::vector<ShownDialog>& shown() const { return shown_; }

  protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog*) override {}

  private:
    std::deque<Answer> answers_;
    std::vector<ShownDialog> shown_;
};

// Picks `path` in a file dialog.
ModalScript::Answer ChooseFile(const std::string& path);
// Lets the dialog run for real and calls `act` inside its modal loop; `act`
// ends it. One that is left open fails the test and is cancelled.
ModalScript::Answer RunAndDo(std::function<void(wxDialog&)> act);

// Runs the window's events until `done` holds, for at most ten seconds.
bool PumpUntil(const std::function<bool()>& done);

// Makes the folder `name` inside `parent` and gives its path.
std::string MakeFolder(const std::filesystem::path& parent, const std::string& name);

}  // namespace segweld::test
