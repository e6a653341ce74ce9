#include "ui/outcome_look.h"

#include <wx/brush.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/pen.h>

#include <cmath>
#include <memory>

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

// Draws on a square of side 1 scaled to `side` pixels.
void DrawIcon(wxGraphicsContext& gc, JoinOutcome outcome, const wxColour& fill, double side) {
    gc.Scale(side, side);
    gc.SetPen(wxNullPen);
    gc.SetBrush(wxBrush(fill));
    if (outcome == JoinOutcome::Incomplete) {
        wxGraphicsPath triangle = gc.CreatePath();
        triangle.MoveToPoint(0.5, 0.04);
        triangle.AddLineToPoint(0.98, 0.92);
        triangle.AddLineToPoint(0.02, 0.92);
        triangle.CloseSubpath();
        gc.FillPath(triangle);
    } else {
        gc.DrawEllipse(0.02, 0.02, 0.96, 0.96);
    }
    const wxColour glyph = GlyphColour(fill);
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(glyph, 0.12).Cap(wxCAP_ROUND).Join(wxJOIN_ROUND)));
    gc.SetBrush(wxBrush(glyph));
    switch (outcome) {
        case JoinOutcome::Joined: {
            const wxPoint2DDouble tick[] = {{0.27, 0.52}, {0.43, 0.68}, {0.73, 0.35}};
            gc.StrokeLines(3, tick);
            break;
        }
        case JoinOutcome::Incomplete:
            gc.StrokeLine(0.5, 0.36, 0.5, 0.6);
            gc.DrawEllipse(0.44, 0.7, 0.12, 0.12);
            break;
        case JoinOutcome::Failed:
            gc.StrokeLine(0.33, 0.33, 0.67, 0.67);
            gc.StrokeLine(0.67, 0.33, 0.33, 0.67);
            break;
        case JoinOutcome::Stopped:
            gc.DrawEllipse(0.44, 0.2, 0.12, 0.12);
            gc.StrokeLine(0.5, 0.45, 0.5, 0.75);
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

wxBitmap OutcomeIcon(JoinOutcome outcome, const wxColour& background, int size, double scale) {
    const int side = std::max(1, static_cast<int>(std::lround(size * scale)));
    wxImage image(side, side);
    image.InitAlpha();
    std::fill_n(image.GetAlpha(), side * side, 0);
    {
        const std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(image));
        if (gc) {
            gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
            DrawIcon(*gc, outcome, OutcomeColour(outcome, background), side);
        }
    }
    return wxBitmap(image, -1, scale);
}

}  // namespace segweld
