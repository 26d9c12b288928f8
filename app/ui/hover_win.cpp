#include "app/ui/hover_win.h"

#include "app/ui/draw_primitives_win.h"

#include <commctrl.h>

namespace tw::app::ui {
namespace {

constexpr UINT_PTR hover_subclass_id = 1;

LRESULT CALLBACK track_hover(HWND button, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR data)
{
    WindowView& view = *reinterpret_cast<WindowView*>(data);
    switch (message) {
    case WM_MOUSEMOVE:
        if (view.hovered_button != button) {
            if (view.hovered_button)
                InvalidateRect(view.hovered_button, nullptr, FALSE);
            view.hovered_button = button;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, button, 0};
            TrackMouseEvent(&track);
            InvalidateRect(button, nullptr, FALSE);
        }
        break;
    case WM_MOUSELEAVE:
        if (view.hovered_button == button) {
            view.hovered_button = nullptr;
            InvalidateRect(button, nullptr, FALSE);
        }
        break;
    case WM_NCDESTROY:
        if (view.hovered_button == button)
            view.hovered_button = nullptr;
        RemoveWindowSubclass(button, track_hover, hover_subclass_id);
        break;
    default:
        break;
    }
    return DefSubclassProc(button, message, wparam, lparam);
}

}  // namespace

void install_hover_tracking(HWND button, WindowView& view)
{
    SetWindowSubclass(button, track_hover, hover_subclass_id, reinterpret_cast<DWORD_PTR>(&view));
}

}  // namespace tw::app::ui
