#include "app/ui/icons_win.h"

#include "app/ui/draw_primitives_win.h"
#include "app/ui/monogram.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <vector>

namespace tw::app::ui {
namespace {

using Gdiplus::GpPointF;

void fill_card(Gdiplus::GpGraphics* graphics, float side)
{
    const auto path = new_path();
    const auto brush = solid_brush(card_background);
    if (!path || !brush)
        return;
    const float radius = std::max(static_cast<float>(monogram::corner_radius) * side,
                                  static_cast<float>(monogram::min_corner_radius_px));
    round_rect_path(path.get(), 0.0f, 0.0f, side, side, radius);
    gdip::GdipFillPath(graphics, brush.get(), path.get());
}

// The T as one figure, so that the bar and the stem share their anti-aliased top edge.
void fill_letter_t(Gdiplus::GpGraphics* graphics, float side)
{
    const auto brush = solid_brush(gold);
    if (!brush)
        return;
    const float pen = static_cast<float>(monogram::stroke) * side;
    const float top = static_cast<float>(monogram::letter_top) * side;
    const float bottom = static_cast<float>(monogram::letter_bottom) * side;
    const float left = static_cast<float>(monogram::t_left) * side;
    const float right = static_cast<float>(monogram::t_left + monogram::t_width) * side;
    const float stem_left = (left + right - pen) / 2.0f;
    const float stem_right = stem_left + pen;
    const std::array<GpPointF, 8> outline{{{left, top}, {right, top}, {right, top + pen}, {stem_right, top + pen},
                                           {stem_right, bottom}, {stem_left, bottom}, {stem_left, top + pen},
                                           {left, top + pen}}};
    gdip::GdipFillPolygon(graphics, brush.get(), outline.data(), static_cast<INT>(outline.size()),
                          Gdiplus::FillModeWinding);
}

void stroke_letter_w(Gdiplus::GpGraphics* graphics, float side)
{
    const float pen_width = static_cast<float>(monogram::stroke) * side;
    Gdiplus::GpPen* raw = nullptr;
    if (gdip::GdipCreatePen1(argb(accent), pen_width, Gdiplus::UnitPixel, &raw) != Gdiplus::Ok)
        return;
    const GdipOwner<Gdiplus::GpPen> pen(raw);
    gdip::GdipSetPenLineJoin(raw, Gdiplus::LineJoinRound);
    gdip::GdipSetPenStartCap(raw, Gdiplus::LineCapRound);
    gdip::GdipSetPenEndCap(raw, Gdiplus::LineCapRound);

    const float half = pen_width / 2.0f;
    const float left = static_cast<float>(monogram::w_left) * side + half;
    const float width = static_cast<float>(monogram::w_width) * side;
    const float top = static_cast<float>(monogram::letter_top) * side + half;
    const float height = static_cast<float>(monogram::letter_bottom - monogram::letter_top) * side - pen_width;

    std::vector<GpPointF> points;
    for (size_t i = 0; i + 1 < std::size(monogram::w_centre_line); i += 2) {
        points.push_back({left + static_cast<float>(monogram::w_centre_line[i]) * width,
                          top + static_cast<float>(monogram::w_centre_line[i + 1]) * height});
    }
    gdip::GdipDrawLines(graphics, pen.get(), points.data(), static_cast<INT>(points.size()));
}

HICON monogram_icon(int side)
{
    Gdiplus::GpBitmap* raw = nullptr;
    if (gdip::GdipCreateBitmapFromScan0(side, side, 0, PixelFormat32bppARGB, nullptr, &raw) != Gdiplus::Ok)
        return nullptr;
    const GdipOwner<Gdiplus::GpImage> bitmap(raw);
    {
        Gdiplus::GpGraphics* graphics_raw = nullptr;
        if (gdip::GdipGetImageGraphicsContext(raw, &graphics_raw) != Gdiplus::Ok)
            return nullptr;
        const GdipOwner<Gdiplus::GpGraphics> graphics(graphics_raw);
        gdip::GdipSetSmoothingMode(graphics_raw, Gdiplus::SmoothingModeAntiAlias);
        gdip::GdipSetPixelOffsetMode(graphics_raw, Gdiplus::PixelOffsetModeHalf);
        gdip::GdipGraphicsClear(graphics_raw, 0);
        const float s = static_cast<float>(side);
        fill_card(graphics_raw, s);
        fill_letter_t(graphics_raw, s);
        stroke_letter_w(graphics_raw, s);
    }
    HICON icon = nullptr;
    gdip::GdipCreateHICONFromBitmap(raw, &icon);
    return icon;
}

}  // namespace

void build_icons(WindowView& view)
{
    client::platform::IconHandle big(monogram_icon(GetSystemMetricsForDpi(SM_CXICON, static_cast<UINT>(view.dpi))));
    client::platform::IconHandle small(monogram_icon(GetSystemMetricsForDpi(SM_CXSMICON, static_cast<UINT>(view.dpi))));
    if (view.window) {
        SendMessageW(view.window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
        SendMessageW(view.window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    }
    // The window has let go of the old icons only now.
    view.resources.big_icon = std::move(big);
    view.resources.small_icon = std::move(small);
}

}  // namespace tw::app::ui
