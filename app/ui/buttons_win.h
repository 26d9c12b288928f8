#pragma once
// Drawn push buttons and the channel segments; lengths in pixels already scaled.

#include "app/ui/palette.h"

#include <windows.h>

#include <string_view>

namespace tw::app::ui {

enum class ButtonStyle { primary, secondary, quiet };

struct ButtonState {
    bool disabled = false;
    bool pressed = false;
    bool hovered = false;
    bool focused = false;
    bool copied = false;  // the pixels under the button were copied in: its surroundings show through
};

void draw_button(HDC dc, const RECT& rect, std::wstring_view text, ButtonStyle style, const ButtonState& state,
                 HFONT font, int radius, Colour background, int dpi, const Palette& palette);

void draw_segment(HDC dc, const RECT& rect, std::wstring_view text, bool selected, bool hovered, bool focused,
                  HFONT font, HFONT selected_font, Colour background, int dpi, const Palette& palette);

}  // namespace tw::app::ui
