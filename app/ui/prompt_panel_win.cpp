#include "app/ui/prompt_panel_win.h"

#include "app/ui/draw_primitives_win.h"

#include <algorithm>

namespace tw::app::ui {

namespace {

using Gdiplus::GpGraphics;
using Gdiplus::GpPath;

struct Ellipse {
    float cx;
    float cy;
    float rx;
    float ry;
};

// A radial fade of the accent colour over an ellipse, from centre_alpha in the middle to
// edge_alpha at the rim; `focus` keeps the centre colour over that fraction of the radius.
void fill_radial(GpGraphics* graphics, const Ellipse& e, Colour colour, unsigned centre_alpha, unsigned edge_alpha,
                 float focus = 0.0f)
{
    const auto path = new_path();
    if (!path)
        return;
    gdip::GdipAddPathEllipse(path.get(), e.cx - e.rx, e.cy - e.ry, 2.0f * e.rx, 2.0f * e.ry);

    Gdiplus::GpPathGradient* raw = nullptr;
    if (gdip::GdipCreatePathGradientFromPath(path.get(), &raw) != Gdiplus::Ok)
        return;
    const GdipOwner<Gdiplus::GpBrush> brush(raw);
    const Gdiplus::GpPointF centre{e.cx, e.cy};
    gdip::GdipSetPathGradientCenterPoint(raw, &centre);
    gdip::GdipSetPathGradientCenterColor(raw, argb(colour, centre_alpha));
    Gdiplus::ARGB edge = argb(colour, edge_alpha);
    INT count = 1;
    gdip::GdipSetPathGradientSurroundColorsWithCount(raw, &edge, &count);
    if (focus > 0.0f)
        gdip::GdipSetPathGradientFocusScales(raw, focus, focus);
    gdip::GdipFillPath(graphics, brush.get(), path.get());
}

void stroke_circle(GpGraphics* graphics, const Ellipse& e, float pen_width, Gdiplus::ARGB colour)
{
    Gdiplus::GpPen* raw = nullptr;
    if (gdip::GdipCreatePen1(colour, pen_width, Gdiplus::UnitPixel, &raw) != Gdiplus::Ok)
        return;
    const GdipOwner<Gdiplus::GpPen> pen(raw);
    gdip::GdipDrawEllipse(graphics, pen.get(), e.cx - e.rx, e.cy - e.ry, 2.0f * e.rx, 2.0f * e.ry);
}

void draw_glows(HDC dc, const RECT& panel, Colour colour)
{
    const auto graphics = smooth_graphics(dc);
    if (!graphics)
        return;
    const float w = static_cast<float>(width_of(panel));
    const float h = static_cast<float>(height_of(panel));
    const float x = static_cast<float>(panel.left);
    const float y = static_cast<float>(panel.top);
    fill_radial(graphics.get(), {x + 0.30f * w, y + 0.35f * h, 0.42f * w, 0.55f * h}, colour, 31, 0);
    fill_radial(graphics.get(), {x + 0.72f * w, y + 0.70f * h, 0.38f * w, 0.50f * h}, colour, 31, 0);
}

void draw_badge(HDC dc, const RECT& badge, int dpi, Colour colour)
{
    const auto graphics = smooth_graphics(dc);
    if (!graphics)
        return;
    const float r = width_of(badge) / 2.0f;
    const float cx = badge.left + r;
    const float cy = badge.top + r;
    const float halo = r + static_cast<float>(scale_to_dpi(9, dpi));
    // The halo holds its colour under the badge and fades over the ring outside it.
    fill_radial(graphics.get(), {cx, cy, halo, halo}, colour, 46, 0, r / halo);
    fill_radial(graphics.get(), {cx, cy, r, r}, colour, 51, 10);
    stroke_circle(graphics.get(), {cx, cy, r - 0.5f, r - 0.5f}, 1.0f, argb(colour, 64));
}

// The badge is 2.6 body lines across; the text wraps at 26 body heights, clear of the panel's
// sides; the gaps between badge, text and the room under it are in units.
constexpr int badge_tenths_of_body = 26;
constexpr int text_width_in_body = 26;
constexpr int gap_units = 12;
constexpr int side_room_units = 32;

}  // namespace

PromptGeometry measure_prompt(HDC dc, const RECT& panel, const PromptText& text, int dpi)
{
    const auto [message, font, body_font_px, extra] = text;
    const int g = scale_to_dpi(gap_units, dpi);
    const int h = measure_text(dc, L"Ag", font).cy;
    const int b = (badge_tenths_of_body * body_font_px + 5) / 10;
    const int cx = panel.left + width_of(panel) / 2;

    const int reserved = extra > 0 ? g + extra : 0;
    const int y0 = panel.top + (height_of(panel) - reserved - h - g - b) / 2;

    PromptGeometry geometry;
    geometry.badge = {cx - b / 2, y0, cx - b / 2 + b, y0 + b};

    const int text_width =
        std::min(text_width_in_body * body_font_px, width_of(panel) - scale_to_dpi(side_room_units, dpi));
    const int text_left = cx - text_width / 2;
    const int text_top = y0 + b + g;
    RECT wrapped{text_left, text_top, text_left + text_width, text_top};
    if (!message.empty()) {
        const SelectionScope selected(dc, font);
        DrawTextW(dc, message.data(), static_cast<int>(message.size()), &wrapped,
                  DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX | reading_order());
    }
    geometry.text = {text_left, text_top, text_left + text_width, std::max<LONG>(text_top + h, wrapped.bottom)};

    if (extra > 0) {
        const int top = geometry.text.bottom + g;
        geometry.extra = {geometry.text.left, top, geometry.text.right, top + extra};
    }
    return geometry;
}

void draw_prompt_panel(HDC dc, const RECT& panel, const PromptBadge& badge, const PromptText& text, int dpi,
                       const Palette& palette)
{
    fill_rect(dc, panel, palette.card);
    // Faint glows under the text would only lower its contrast.
    if (!palette.high_contrast)
        draw_glows(dc, panel, palette.ornament);

    const PromptGeometry geometry = measure_prompt(dc, panel, text, dpi);
    if (palette.high_contrast)
        stroke_round_rect(dc, geometry.badge, width_of(geometry.badge) / 2, 1.0f, palette.ornament);
    else
        draw_badge(dc, geometry.badge, dpi, palette.ornament);
    draw_text(dc, std::wstring_view(&badge.glyph, 1), geometry.badge, badge.font, palette.ornament,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    draw_text(dc, text.message, geometry.text, text.font, palette.text, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
}

}  // namespace tw::app::ui
