#pragma once

#include <wx/bitmap.h>
#include <wx/colour.h>

#include "ui/join_summary.h"

namespace segweld {

// How each outcome looks, on light and on dark themes alike: a colour for its
// text and icon, and an icon whose shape tells the outcome without its colour
// (a tick, a triangle with "!", a cross, an "i").

// The outcome's colour on `background`: of a dark and a light shade, the one
// that stands out more against it.
wxColour OutcomeColour(JoinOutcome outcome, const wxColour& background);

// The outcome's icon on `background`, `size` pixels square in the window's
// coordinates and drawn at `scale` device pixels to each of them.
wxBitmap OutcomeIcon(JoinOutcome outcome, const wxColour& background, int size, double scale);

// How far apart two colours stand for the eye: the ratio of their relative
// luminances, from 1 (the same) to 21 (black on white), as WCAG 2 defines it.
double ContrastRatio(const wxColour& a, const wxColour& b);

}  // namespace segweld
