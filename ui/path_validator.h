#pragma once

#include <wx/validate.h>

#include <string>

class wxTextEntry;

namespace segweld {

// Binds a path string to a text box: TransferToWindow shows the string in the
// box, TransferFromWindow takes the box's text into the string, trimmed of
// the blanks around it, and shows the trimmed path in the box.
class PathValidator : public wxValidator {
  public:
    explicit PathValidator(std::string* path);
    PathValidator(const PathValidator& other);

    wxObject* Clone() const override;
    bool TransferToWindow() override;
    bool TransferFromWindow() override;
    // Any text is a path worth checking later; the checks that matter run in OnRun.
    bool Validate(wxWindow*) override { return true; }

  private:
    wxTextEntry* TextBox() const;

    std::string* path_;
};

}  // namespace segweld
