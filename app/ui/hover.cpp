#include "app/ui/window_ui.h"

#include <commctrl.h>

namespace tw::app::ui {
namespace {

constexpr UINT_PTR hover_subclass_id = 1;

LRESULT CALLBACK track_hover(HWND button, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR)
{
    InstallerApp& app = the_app();
    switch (message) {
    case WM_MOUSEMOVE:
        if (app.hovered_button != button) {
            if (app.hovered_button)
                InvalidateRect(app.hovered_button, nullptr, FALSE);
            app.hovered_button = button;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, button, 0};
            TrackMouseEvent(&track);
            InvalidateRect(button, nullptr, FALSE);
        }
        break;
    case WM_MOUSELEAVE:
        if (app.hovered_button == button) {
            app.hovered_button = nullptr;
            InvalidateRect(button, nullptr, FALSE);
        }
        break;
    case WM_NCDESTROY:
        if (app.hovered_button == button)
            app.hovered_button = nullptr;
        RemoveWindowSubclass(button, track_hover, hover_subclass_id);
        break;
    default:
        break;
    }
    return DefSubclassProc(button, message, wparam, lparam);
}

}  // namespace

void install_hover_tracking(HWND button)
{
    SetWindowSubclass(button, track_hover, hover_subclass_id, 0);
}

}  // namespace tw::app::ui
