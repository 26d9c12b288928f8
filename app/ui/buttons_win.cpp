#include "app/ui/buttons_win.h"

#include "app/ui/draw_primitives_win.h"

#include <algorithm>
#include <optional>

namespace tw::app::ui {
namespace {

// The first matching state wins: a disabled button looks the same whatever its style.
ButtonLook button_look(ButtonStyle style, const ButtonState& state, const Palette& palette)
{
    const bool lit = state.hovered || state.pressed;
    if (state.disabled)
        return palette.disabled;
    switch (style) {
    case ButtonStyle::primary:
        return lit ? palette.primary_lit : palette.primary;
    case ButtonStyle::secondary:
        return lit ? palette.secondary_lit : palette.secondary;
    case ButtonStyle::quiet:
        break;
    }
    if (!lit)
        return palette.quiet;
    ButtonLook look = palette.quiet_lit;
    // Pressed with the pointer gone elsewhere: the text falls back until the pointer returns.
    if (!state.hovered)
        look.text = palette.quiet.text;
    return look;
}

// In high contrast an enabled button's outline is thicker than a disabled one's, so the two
// differ in more than colour.
float outline_width(const ButtonState& state, const Palette& palette, int dpi)
{
    const int units = palette.high_contrast && !state.disabled ? 2 : 1;
    return static_cast<float>(std::max(scale_to_dpi(units, dpi), 1));
}

}  // namespace

void draw_button(const ControlCanvas& canvas, std::wstring_view text, ButtonStyle style, const ButtonState& state,
                 HFONT font, int radius)
{
    const auto& [dc, rect, background, dpi, palette] = canvas;
    if (!state.copied)
        fill_rect(dc, rect, background);

    const int inset = scale_to_dpi(2, dpi);
    const RECT body = shrink(rect, 2 * inset, 2 * inset);
    const ButtonLook look = button_look(style, state, palette);

    // Over copied pixels a body without a face of its own is left out, so the panel's glow
    // shows through instead of a flat patch.
    if (look.face || !state.copied)
        fill_round_rect(dc, body, radius, look.face.value_or(background));
    if (look.outline)
        stroke_round_rect(dc, body, radius, outline_width(state, palette, dpi), *look.outline);
    if (state.focused)
        stroke_round_rect(dc, rect, radius + 2 * inset, static_cast<float>(inset), palette.focus);

    draw_text(dc, text, body, font, look.text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void draw_segment(const ControlCanvas& canvas, std::wstring_view text, const SegmentState& state,
                  const SegmentFonts& fonts)
{
    const auto& [dc, rect, background, dpi, palette] = canvas;
    const auto [selected, hovered, focused] = state;
    const SegmentLook& look = palette.segment;
    Colour text_in = look.text;
    if (hovered && !selected) {
        fill_rect(dc, rect, look.hover_fill);
        text_in = look.hover_text;
    } else {
        fill_rect(dc, rect, background);
        text_in = selected || hovered ? look.selected_text : look.text;
    }
    draw_text(dc, text, rect, selected ? fonts.selected : fonts.plain, text_in,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);

    if (selected) {
        const RECT bar{rect.left, rect.bottom - scale_to_dpi(2, dpi), rect.right, rect.bottom};
        fill_rect(dc, bar, look.bar);
    }
    if (focused) {
        const int one = scale_to_dpi(1, dpi);
        stroke_round_rect(dc, shrink(rect, one, one), scale_to_dpi(4, dpi), static_cast<float>(scale_to_dpi(2, dpi)),
                          palette.focus);
    }
}

}  // namespace tw::app::ui
