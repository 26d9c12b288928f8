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

// Where a control is drawn: its rectangle, what lies around it and the look it is drawn in.
struct ControlCanvas {
    HDC dc;
    RECT rect;
    Colour background;
    int dpi;
    const Palette& palette;
};

void draw_button(const ControlCanvas& canvas, std::wstring_view text, ButtonStyle style, const ButtonState& state,
                 HFONT font, int radius);

struct SegmentState {
    bool selected = false;
    bool hovered = false;
    bool focused = false;
};

struct SegmentFonts {
    HFONT plain;
    HFONT selected;
};

void draw_segment(const ControlCanvas& canvas, std::wstring_view text, const SegmentState& state,
                  const SegmentFonts& fonts);

}  // namespace tw::app::ui
