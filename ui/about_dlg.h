#pragma once

#include <wx/dialog.h>

namespace segweld {

// The about box: the icon, the program's name and version, and OK.
class CAboutDlg : public wxDialog {
  public:
    explicit CAboutDlg(wxWindow* parent);
};

}  // namespace segweld
