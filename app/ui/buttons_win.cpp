#include "app/ui/buttons_win.h"

#include "app/ui/draw_primitives_win.h"

#include <algorithm>
#include <optional>

namespace tw::app::ui {
namespace {

struct ButtonColours {
    Colour body;
    std::optional<Colour> outline;
    Colour text;
};

// The first matching state wins: a disabled button looks the same whatever its style.
ButtonColours button_colours(ButtonStyle style, const ButtonState& state, Colour background)
{
    const bool lit = state.hovered || state.pressed;
    if (state.disabled)
        return {fill_disabled, border_colour, text_disabled};
    switch (style) {
    case ButtonStyle::primary:
        return {lit ? accent_hover : accent, std::nullopt, window_background};
    case ButtonStyle::secondary:
        return {lit ? hover_fill : background, border_colour, text_colour};
    case ButtonStyle::quiet:
        break;
    }
    return {lit ? hover_fill : background, std::nullopt, state.hovered ? text_colour : text_muted};
}

}  // namespace

void draw_button(HDC dc, const RECT& rect, std::wstring_view text, ButtonStyle style, const ButtonState& state,
                 HFONT font, int radius, Colour background, int dpi)
{
    if (!state.copied)
        fill_rect(dc, rect, background);

    const int inset = scale_to_dpi(2, dpi);
    const RECT body = shrink(rect, 2 * inset, 2 * inset);
    const ButtonColours colours = button_colours(style, state, background);

    // Over copied pixels an unlit body of the background colour is left out, so the panel's
    // glow shows through instead of a flat patch.
    const bool see_through = state.copied && !state.disabled && style != ButtonStyle::primary &&
                             colours.body == background;
    if (!see_through)
        fill_round_rect(dc, body, radius, colours.body);
    if (colours.outline)
        stroke_round_rect(dc, body, radius, static_cast<float>(std::max(scale_to_dpi(1, dpi), 1)), *colours.outline);
    if (state.focused)
        stroke_round_rect(dc, rect, radius + 2 * inset, static_cast<float>(inset), focus_ring);

    draw_text(dc, text, body, font, colours.text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void draw_segment(HDC dc, const RECT& rect, std::wstring_view text, bool selected, bool hovered, bool focused,
                  HFONT font, HFONT selected_font, Colour background, int dpi)
{
    Colour text_in = text_muted;
    if (hovered && !selected) {
        fill_rect(dc, rect, hover_fill);
        text_in = text_colour;
    } else {
        fill_rect(dc, rect, background);
        text_in = selected || hovered ? text_colour : text_muted;
    }
    draw_text(dc, text, rect, selected ? selected_font : font, text_in,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);

    if (selected) {
        const RECT bar{rect.left, rect.bottom - scale_to_dpi(2, dpi), rect.right, rect.bottom};
        fill_rect(dc, bar, accent);
    }
    if (focused) {
        const int one = scale_to_dpi(1, dpi);
        stroke_round_rect(dc, shrink(rect, one, one), scale_to_dpi(4, dpi), static_cast<float>(scale_to_dpi(2, dpi)),
                          focus_ring);
    }
}

}  // namespace tw::app::ui
