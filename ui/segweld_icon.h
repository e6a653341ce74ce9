#pragma once

#include <wx/bitmap.h>
#include <wx/iconbndl.h>

namespace segweld {

// Segweld's icon: the full Earth disc of a Meteosat image, cut into segments
// whose seams are welded. Drawn at 32 x 32 and 16 x 16 pixels.
wxBitmap SegweldIconImage(int size);
wxIconBundle SegweldIcons();

}  // namespace segweld
