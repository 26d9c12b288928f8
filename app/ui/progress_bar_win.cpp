#include "app/ui/progress_bar_win.h"

#include "app/ui/decorations_win.h"
#include "app/ui/draw_primitives_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

namespace tw::app::ui {
namespace {

constexpr UINT_PTR painter_subclass_id = 1;

double fraction_of(HWND bar)
{
    const auto position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    return static_cast<double>(position) / progress_steps;
}

// The corners outside the rounded bar show the window's background, as when the window drew it.
void paint_bar(HWND bar, const Palette& palette)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(bar, &paint);
    RECT client;
    GetClientRect(bar, &client);
    fill_rect(dc, client, palette.window);
    draw_progress(dc, client, fraction_of(bar), palette);
    EndPaint(bar, &paint);
}

// The theme's own painting (and its glow timer) never reaches the screen: every paint is ours.
LRESULT CALLBACK painted_bar_proc(HWND bar, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                  DWORD_PTR palette)
{
    switch (message) {
    case WM_PAINT:
        paint_bar(bar, *reinterpret_cast<const Palette*>(palette));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_NCDESTROY:
        RemoveWindowSubclass(bar, painted_bar_proc, painter_subclass_id);
        break;
    default:
        break;
    }
    return DefSubclassProc(bar, message, wparam, lparam);
}

}  // namespace

HWND create_progress_bar(HWND parent, int id, const Palette& palette)
{
    HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (!bar)
        return nullptr;
    SendMessageW(bar, PBM_SETRANGE32, 0, progress_steps);
    SetWindowSubclass(bar, painted_bar_proc, painter_subclass_id, reinterpret_cast<DWORD_PTR>(&palette));
    return bar;
}

void show_progress(HWND bar, double fraction)
{
    const auto position = static_cast<WPARAM>(std::lround(std::clamp(fraction, 0.0, 1.0) * progress_steps));
    if (bar)
        SendMessageW(bar, PBM_SETPOS, position, 0);
}

}  // namespace tw::app::ui
