#pragma once
// The prompt drawn inside an empty list panel: a badge, a message and room for buttons.

#include "app/ui/palette.h"

#include <windows.h>

#include <string_view>

namespace tw::app::ui {

// Where the parts of the sign-in prompt go inside a panel; `extra` is the room (pixels) the
// prompt needs under its text for the code and buttons, 0 for none.
struct PromptGeometry {
    RECT badge{};
    RECT text{};
    RECT extra{};  // empty when extra is 0
};
PromptGeometry measure_prompt(HDC dc, const RECT& panel, std::wstring_view message, HFONT font, int body_font_px,
                              int extra, int dpi);
void draw_prompt_panel(HDC dc, const RECT& panel, wchar_t glyph, std::wstring_view message, HFONT icon_font,
                       HFONT font, int body_font_px, int extra, int dpi, const Palette& palette);

}  // namespace tw::app::ui
