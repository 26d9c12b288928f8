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

// The prompt's message in `font`, the body font's pixel height its badge and width follow, and
// `extra`.
struct PromptText {
    std::wstring_view message;
    HFONT font;
    int body_font_px;
    int extra;
};

struct PromptBadge {
    wchar_t glyph;
    HFONT font;
};

PromptGeometry measure_prompt(HDC dc, const RECT& panel, const PromptText& text, int dpi);
void draw_prompt_panel(HDC dc, const RECT& panel, const PromptBadge& badge, const PromptText& text, int dpi,
                       const Palette& palette);

}  // namespace tw::app::ui
