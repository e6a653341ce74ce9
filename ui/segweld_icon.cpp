#include "ui/segweld_icon.h"

#include <wx/icon.h>

namespace segweld {
namespace {

#include "ui/segweld_icon_16.xpm"
#include "ui/segweld_icon_32.xpm"

}  // namespace

wxBitmap SegweldIconImage(int size) {
    return wxBitmap(size <= 16 ? segweld_icon_16_xpm : segweld_icon_32_xpm);
}

wxIconBundle SegweldIcons() {
    wxIconBundle icons;
    for (int size : {32, 16}) {
        wxIcon icon;
        icon.CopyFromBitmap(SegweldIconImage(size));
        icons.AddIcon(icon);
    }
    return icons;
}

}  // namespace segweld
