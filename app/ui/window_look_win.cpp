#include "app/ui/window_look_win.h"

#include "app/ui/system_look_win.h"

#include <dwmapi.h>
#include <uxtheme.h>

namespace tw::app::ui {
namespace {

// Windows 11's frame attributes; the SDK headers of older toolchains lack some of them.
enum DwmFrameAttribute : DWORD {
    dwm_use_immersive_dark_mode = 20,
    dwm_border_colour = 34,
    dwm_caption_colour = 35,
    dwm_text_colour = 36,
};
constexpr COLORREF dwm_colour_default = 0xFFFFFFFF;

void set_frame(HWND window, BOOL dark, COLORREF caption, COLORREF caption_text)
{
    DwmSetWindowAttribute(window, dwm_use_immersive_dark_mode, &dark, sizeof dark);
    DwmSetWindowAttribute(window, dwm_caption_colour, &caption, sizeof caption);
    DwmSetWindowAttribute(window, dwm_text_colour, &caption_text, sizeof caption_text);
    DwmSetWindowAttribute(window, dwm_border_colour, &caption, sizeof caption);
}

void set_list_themes(const Controls& controls, const wchar_t* theme)
{
    for (HWND list : {controls.product_list, controls.version_list}) {
        if (list)
            SetWindowTheme(list, theme, nullptr);
    }
}

// A high-contrast frame is the system's own: the dark attributes would paint over the user's
// colours, so they are taken back rather than merely not set again.
void apply_frame_attributes(WindowView& view)
{
    const bool dark = !view.palette.high_contrast;
    if (dark) {
        set_frame(view.window, TRUE, caption_colour, text_colour);
        set_list_themes(view.controls, L"DarkMode_Explorer");
    } else if (view.dark_frame) {
        set_frame(view.window, FALSE, dwm_colour_default, dwm_colour_default);
        set_list_themes(view.controls, nullptr);
    }
    view.dark_frame = dark;
}

}  // namespace

void apply_system_look(WindowView& view)
{
    view.palette = palette_for(read_system_look());
    view.resources.window_brush.reset(CreateSolidBrush(view.palette.window));
    view.resources.list_brush.reset(CreateSolidBrush(view.palette.list));
    apply_frame_attributes(view);
}

void follow_system_look(WindowView& view)
{
    apply_system_look(view);
    RedrawWindow(view.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

}  // namespace tw::app::ui
