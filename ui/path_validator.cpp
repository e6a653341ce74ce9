#include "ui/path_validator.h"

#include <wx/textctrl.h>

#include "ui/path_text.h"

namespace segweld {

PathValidator::PathValidator(std::string* path) : path_(path) {}

PathValidator::PathValidator(const PathValidator& other) : wxValidator(), path_(other.path_) {
    Copy(other);
}

wxObject* PathValidator::Clone() const {
    return new PathValidator(*this);
}

bool PathValidator::TransferToWindow() {
    wxTextEntry* box = TextBox();
    if (box == nullptr) {
        return false;
    }
    box->ChangeValue(TextFromPath(*path_));
    return true;
}

bool PathValidator::TransferFromWindow() {
    wxTextEntry* box = TextBox();
    if (box == nullptr) {
        return false;
    }
    *path_ = TrimmedPath(PathFromText(box->GetValue()));
    if (TextFromPath(*path_) != box->GetValue()) {
        box->ChangeValue(TextFromPath(*path_));
    }
    return true;
}

wxTextEntry* PathValidator::TextBox() const {
    return dynamic_cast<wxTextEntry*>(GetWindow());
}

}  // namespace segweld
