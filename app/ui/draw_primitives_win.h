#pragma once
// Owners for GDI+ objects and the few shapes every painter is made of. Each call
// creates and releases what it draws with, so no painter leaves anything selected or alive.

#include "app/ui/theme.h"
#include "client/scoped_win.h"

#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <string>
#include <string_view>

namespace tw::app::ui {

namespace gdip = Gdiplus::DllExports;

// GDI+ objects stay here, beside the flat API they are made with, out of the Win32 owners every
// platform file includes.
struct GdipDelete {
    void operator()(Gdiplus::GpGraphics* graphics) const { gdip::GdipDeleteGraphics(graphics); }
    void operator()(Gdiplus::GpPath* path) const { gdip::GdipDeletePath(path); }
    void operator()(Gdiplus::GpBrush* brush) const { gdip::GdipDeleteBrush(brush); }
    void operator()(Gdiplus::GpPen* pen) const { gdip::GdipDeletePen(pen); }
    void operator()(Gdiplus::GpImage* image) const { gdip::GdipDisposeImage(image); }
};
template <class T>
using GdipOwner = std::unique_ptr<T, GdipDelete>;

// The GDI owners, under the name the painters know them by.
template <class T>
using GdiOwner = client::platform::GdiObject<T>;
using client::platform::SelectionScope;

Gdiplus::ARGB argb(Colour colour, unsigned alpha = 255);

// A GDI+ surface on the device context, anti-aliased, with pixel centres at half coordinates
// so that a shape from x to x + w covers exactly those pixels.
GdipOwner<Gdiplus::GpGraphics> smooth_graphics(HDC dc);
GdipOwner<Gdiplus::GpPath> new_path();
GdipOwner<Gdiplus::GpBrush> solid_brush(Colour colour, unsigned alpha = 255);

void round_rect_path(Gdiplus::GpPath* path, float x, float y, float width, float height, float radius);

void fill_rect(HDC dc, const RECT& rect, Colour colour);
void fill_round_rect(HDC dc, const RECT& rect, int radius, Colour colour);
void stroke_round_rect(HDC dc, const RECT& rect, int radius, float pen_width, Colour colour);

// Single text calls: transparent background, the font selected only for the call.
void draw_text(HDC dc, std::wstring_view text, RECT rect, HFONT font, Colour colour, UINT flags);
SIZE measure_text(HDC dc, std::wstring_view text, HFONT font);

// DT_RTLREADING while the window speaks a right-to-left language, for every DrawText of it.
UINT reading_order();
// A static control's own text in that reading order.
void set_reading_order(HWND control);
std::wstring window_text(HWND window);  // at most 255 characters

int width_of(const RECT& rect);
int height_of(const RECT& rect);
RECT shrink(const RECT& rect, int dx, int dy);

}  // namespace tw::app::ui
