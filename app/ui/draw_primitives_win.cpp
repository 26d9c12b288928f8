#include "app/ui/draw_primitives_win.h"

#include "app/translation.h"

#include <algorithm>

namespace tw::app::ui {

using client::platform::GdiObject;

Gdiplus::ARGB argb(Colour colour, unsigned alpha)
{
    return (static_cast<Gdiplus::ARGB>(alpha & 0xFF) << 24) | (red_of(colour) << 16) | (green_of(colour) << 8) |
           blue_of(colour);
}

namespace {

// The width a mirrored DC reflects its x about: its window's client area, or a memory DC's bitmap.
int mirror_width(HDC dc)
{
    if (HWND window = WindowFromDC(dc)) {
        RECT client{};
        GetClientRect(window, &client);
        return client.right;
    }
    BITMAP bitmap{};
    if (GetObjectW(GetCurrentObject(dc, OBJ_BITMAP), sizeof bitmap, &bitmap))
        return bitmap.bmWidth;
    return 0;
}

}  // namespace

GdipOwner<Gdiplus::GpGraphics> smooth_graphics(HDC dc)
{
    Gdiplus::GpGraphics* graphics = nullptr;
    if (gdip::GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok)
        return nullptr;
    // GDI+ draws in device pixels whatever the DC's layout: in a mirrored window it put the
    // monogram's card, the badges and the progress fill where the left-to-right window has them.
    if (GetLayout(dc) & LAYOUT_RTL) {
        gdip::GdipTranslateWorldTransform(graphics, static_cast<float>(mirror_width(dc)), 0.0f,
                                          Gdiplus::MatrixOrderPrepend);
        gdip::GdipScaleWorldTransform(graphics, -1.0f, 1.0f, Gdiplus::MatrixOrderPrepend);
    }
    gdip::GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeAntiAlias);
    gdip::GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHalf);
    return GdipOwner<Gdiplus::GpGraphics>(graphics);
}

GdipOwner<Gdiplus::GpPath> new_path()
{
    Gdiplus::GpPath* path = nullptr;
    gdip::GdipCreatePath(Gdiplus::FillModeAlternate, &path);
    return GdipOwner<Gdiplus::GpPath>(path);
}

GdipOwner<Gdiplus::GpBrush> solid_brush(Colour colour, unsigned alpha)
{
    Gdiplus::GpSolidFill* brush = nullptr;
    gdip::GdipCreateSolidFill(argb(colour, alpha), &brush);
    return GdipOwner<Gdiplus::GpBrush>(brush);
}

void round_rect_path(Gdiplus::GpPath* path, float x, float y, float width, float height, float radius)
{
    const float d = std::min({2.0f * radius, width, height});
    if (d <= 0.5f) {
        gdip::GdipAddPathRectangle(path, x, y, width, height);
        return;
    }
    gdip::GdipAddPathArc(path, x, y, d, d, 180.0f, 90.0f);
    gdip::GdipAddPathArc(path, x + width - d, y, d, d, 270.0f, 90.0f);
    gdip::GdipAddPathArc(path, x + width - d, y + height - d, d, d, 0.0f, 90.0f);
    gdip::GdipAddPathArc(path, x, y + height - d, d, d, 90.0f, 90.0f);
    gdip::GdipClosePathFigure(path);
}

void fill_rect(HDC dc, const RECT& rect, Colour colour)
{
    const GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.get());
}

void fill_round_rect(HDC dc, const RECT& rect, int radius, Colour colour)
{
    const auto graphics = smooth_graphics(dc);
    const auto path = new_path();
    const auto brush = solid_brush(colour);
    if (!graphics || !path || !brush)
        return;
    round_rect_path(path.get(), static_cast<float>(rect.left), static_cast<float>(rect.top),
                    static_cast<float>(width_of(rect)), static_cast<float>(height_of(rect)),
                    static_cast<float>(radius));
    gdip::GdipFillPath(graphics.get(), brush.get(), path.get());
}

void stroke_round_rect(HDC dc, const RECT& rect, int radius, float pen_width, Colour colour)
{
    const auto graphics = smooth_graphics(dc);
    const auto path = new_path();
    Gdiplus::GpPen* raw_pen = nullptr;
    gdip::GdipCreatePen1(argb(colour), pen_width, Gdiplus::UnitPixel, &raw_pen);
    const GdipOwner<Gdiplus::GpPen> pen(raw_pen);
    if (!graphics || !path || !pen)
        return;
    // The pen runs on the inside of the rectangle, so the outline never leaves it.
    const float half = pen_width / 2.0f;
    round_rect_path(path.get(), rect.left + half, rect.top + half, width_of(rect) - pen_width,
                    height_of(rect) - pen_width, std::max(static_cast<float>(radius) - half, 0.0f));
    gdip::GdipDrawPath(graphics.get(), pen.get(), path.get());
}

void draw_text(HDC dc, std::wstring_view text, RECT rect, HFONT font, Colour colour, UINT flags)
{
    if (text.empty())
        return;
    const SelectionScope selected(dc, font);
    const int previous_mode = SetBkMode(dc, TRANSPARENT);
    const COLORREF previous_colour = SetTextColor(dc, colour);
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, flags | reading_order());
    SetTextColor(dc, previous_colour);
    SetBkMode(dc, previous_mode);
}

SIZE measure_text(HDC dc, std::wstring_view text, HFONT font)
{
    const SelectionScope selected(dc, font);
    RECT rect{0, 0, 0, 0};
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | reading_order());
    return {width_of(rect), height_of(rect)};
}

UINT reading_order()
{
    return shown_language().direction == Direction::right_to_left ? DT_RTLREADING : 0;
}

void set_reading_order(HWND control)
{
    if (shown_language().direction == Direction::right_to_left)
        SetWindowLongPtrW(control, GWL_EXSTYLE, GetWindowLongPtrW(control, GWL_EXSTYLE) | WS_EX_RTLREADING);
}

std::wstring window_text(HWND window)
{
    wchar_t buffer[256] = {};
    const int length = window ? GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer))) : 0;
    return std::wstring(buffer, static_cast<size_t>(std::max(length, 0)));
}

int width_of(const RECT& rect) { return rect.right - rect.left; }
int height_of(const RECT& rect) { return rect.bottom - rect.top; }

RECT shrink(const RECT& rect, int dx, int dy)
{
    return {rect.left + dx, rect.top + dy, rect.right - dx, rect.bottom - dy};
}

}  // namespace tw::app::ui
