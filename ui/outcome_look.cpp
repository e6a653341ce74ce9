#include "ui/outcome_look.h"

#include <wx/brush.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/pen.h>

#include <cmath>

namespace segweld {
namespace {

struct Shades {
    wxColour onLight;
    wxColour onDark;
};

Shades ShadesOf(JoinOutcome outcome) {
    switch (outcome) {
        case JoinOutcome::Joined:
            return {wxColour(0x1a, 0x7f, 0x37), wxColour(0x56, 0xd3, 0x64)};
        case JoinOutcome::Incomplete:
            return {wxColour(0x8a, 0x5a, 0x00), wxColour(0xe3, 0xb3, 0x41)};
        case JoinOutcome::Failed:
            return {wxColour(0xc0, 0x1c, 0x28), wxColour(0xff, 0x7b, 0x72)};
        case JoinOutcome::Stopped:
            break;
    }
    return {wxColour(0x1c, 0x5f, 0xc4), wxColour(0x79, 0xb8, 0xff)};
}

double Luminance(const wxColour& colour) {
    const auto linear = [](unsigned char channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.Red()) + 0.7152 * linear(colour.Green()) +
           0.0722 * linear(colour.Blue());
}

// The glyph on the icon's shape: white or black, whichever stands out more.
wxColour GlyphColour(const wxColour& fill) {
    return ContrastRatio(fill, *wxWHITE) >= ContrastRatio(fill, *wxBLACK) ? *wxWHITE : *wxBLACK;
}

// Draws on a square of `side` pixels; coordinates below are in sides.
void DrawIcon(wxDC& dc, JoinOutcome outcome, const wxColour& fill, int side) {
    const auto at = [side](double x, double y) {
        return wxPoint(static_cast<int>(std::lround(x * side)),
                       static_cast<int>(std::lround(y * side)));
    };
    const auto dot = [&](double x, double y) {
        dc.DrawEllipse(at(x, y), wxSize(at(0.12, 0.12).x, at(0.12, 0.12).y));
    };
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(fill));
    if (outcome == JoinOutcome::Incomplete) {
        const wxPoint triangle[] = {at(0.5, 0.04), at(0.98, 0.92), at(0.02, 0.92)};
        dc.DrawPolygon(3, triangle);
    } else {
        dc.DrawEllipse(at(0.02, 0.02), wxSize(at(0.96, 0.96).x, at(0.96, 0.96).y));
    }
    const wxColour glyph = GlyphColour(fill);
    const wxPen stroke(wxPenInfo(glyph, at(0.12, 0).x).Cap(wxCAP_ROUND).Join(wxJOIN_ROUND));
    dc.SetBrush(wxBrush(glyph));
    switch (outcome) {
        case JoinOutcome::Joined: {
            const wxPoint tick[] = {at(0.27, 0.52), at(0.43, 0.68), at(0.73, 0.35)};
            dc.SetPen(stroke);
            dc.DrawLines(3, tick);
            break;
        }
        case JoinOutcome::Incomplete:
            dot(0.44, 0.7);
            dc.SetPen(stroke);
            dc.DrawLine(at(0.5, 0.36), at(0.5, 0.6));
            break;
        case JoinOutcome::Failed:
            dc.SetPen(stroke);
            dc.DrawLine(at(0.33, 0.33), at(0.67, 0.67));
            dc.DrawLine(at(0.67, 0.33), at(0.33, 0.67));
            break;
        case JoinOutcome::Stopped:
            dot(0.44, 0.2);
            dc.SetPen(stroke);
            dc.DrawLine(at(0.5, 0.45), at(0.5, 0.75));
            break;
    }
}

}  // namespace

double ContrastRatio(const wxColour& a, const wxColour& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

wxColour OutcomeColour(JoinOutcome outcome, const wxColour& background) {
    const Shades shades = ShadesOf(outcome);
    return ContrastRatio(shades.onLight, background) >= ContrastRatio(shades.onDark, background)
               ? shades.onLight
               : shades.onDark;
}

// Drawn four times as large on the background it will sit on, then scaled
// down, which smooths its edges with the plain drawing every system has.
wxBitmap OutcomeIcon(JoinOutcome outcome, const wxColour& background, int size, double scale) {
    constexpr int kSupersampling = 4;
    const int side = std::max(1, static_cast<int>(std::lround(size * scale)));
    wxBitmap large(side * kSupersampling, side * kSupersampling, 24);
    {
        wxMemoryDC dc(large);
        dc.SetBackground(wxBrush(background));
        dc.Clear();
        DrawIcon(dc, outcome, OutcomeColour(outcome, background), side * kSupersampling);
    }
    wxImage image = large.ConvertToImage();
    image.Rescale(side, side, wxIMAGE_QUALITY_HIGH);
    return wxBitmap(image, -1, scale);
}

}  // namespace segweld
