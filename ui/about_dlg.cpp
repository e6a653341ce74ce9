#include "ui/about_dlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "segweld_version.h"
#include "ui/segweld_icon.h"

namespace segweld {

CAboutDlg::CAboutDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "About segweld") {
    auto* icon = new wxStaticBitmap(this, wxID_ANY, SegweldIconImage(32));
    auto* text = new wxStaticText(this, wxID_ANY, wxEmptyString);
    text->SetLabelText("Segweld Version " SEGWELD_VERSION);
    auto* ok = new wxButton(this, wxID_OK, "OK");
    ok->SetDefault();

    const int margin = ConvertDialogToPixels(wxSize(7, 0)).x;
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(icon, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, margin);
    row->Add(text, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, margin);
    row->AddStretchSpacer();
    row->Add(ok, 0, wxALIGN_TOP);
    row->SetMinSize(ConvertDialogToPixels(wxSize(221, 0)));

    auto* frame = new wxBoxSizer(wxVERTICAL);
    frame->Add(row, 1, wxEXPAND | wxALL, margin * 2);
    SetSizerAndFit(frame);
    CentreOnParent();
}

}  // namespace segweld
