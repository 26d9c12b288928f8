#include "app/ui/palette.h"

namespace tw::app::ui {
namespace {

RowLook dark_row(Colour fill, Colour text, Colour marker)
{
    return {fill, text, text_muted, marker, blend(accent, fill, 31), accent, std::nullopt};
}

// Every pair is a pair the theme made to be read together: a row's texts on its fill, a
// button's text on its face.
RowLook contrast_row(Colour fill, Colour text) { return {fill, text, text, text, fill, text, text}; }

}  // namespace

Palette dark_palette()
{
    Palette p;
    p.window = window_background;
    p.text = text_colour;
    p.text_muted = text_muted;
    p.caption = caption_colour;
    p.caption_divider = blend(border_colour, caption_colour, 128);
    p.card = card_background;
    p.card_outline = card_outline;
    p.list = list_background;
    p.list_outline = blend(border_colour, window_background, 128);
    p.focus = focus_ring;
    p.ornament = accent;
    p.monogram_first = gold;
    p.monogram_second = accent;
    p.progress_track = list_background;
    p.progress_fill = accent;
    p.status_information = text_muted;
    p.status_attention = status_warning;
    p.status_success = status_success;
    p.row = dark_row(list_background, text_colour, text_muted);
    p.selected_row = dark_row(selected_row_tint, text_bright, accent);
    p.segment = {text_muted, text_colour, hover_fill, text_colour, accent};
    p.primary = {accent, std::nullopt, window_background};
    p.primary_lit = {accent_hover, std::nullopt, window_background};
    p.secondary = {std::nullopt, border_colour, text_colour};
    p.secondary_lit = {hover_fill, border_colour, text_colour};
    p.quiet = {std::nullopt, std::nullopt, text_muted};
    p.quiet_lit = {hover_fill, std::nullopt, text_colour};
    p.disabled = {fill_disabled, border_colour, text_disabled};
    return p;
}

Palette high_contrast_palette(const SystemColours& c)
{
    Palette p;
    p.high_contrast = true;
    p.window = c.window;
    p.text = c.window_text;
    p.text_muted = c.window_text;
    p.caption = c.window;
    p.caption_divider = c.window_text;
    p.card = c.window;
    p.card_outline = c.window_text;
    p.list = c.window;
    p.list_outline = c.window_text;
    p.focus = c.highlight;
    p.ornament = c.hot_light;
    p.monogram_first = c.hot_light;
    p.monogram_second = c.hot_light;
    p.progress_track = c.window;
    p.progress_fill = c.highlight;
    p.progress_outline = c.window_text;
    p.status_information = c.window_text;
    p.status_attention = c.window_text;
    p.status_success = c.window_text;
    p.row = contrast_row(c.window, c.window_text);
    p.selected_row = contrast_row(c.highlight, c.highlight_text);
    p.segment = {c.window_text, c.window_text, c.highlight, c.highlight_text, c.hot_light};
    const ButtonLook face{c.button_face, c.button_text, c.button_text};
    const ButtonLook lit{c.highlight, c.highlight_text, c.highlight_text};
    p.primary = face;
    p.primary_lit = lit;
    p.secondary = face;
    p.secondary_lit = lit;
    p.quiet = face;
    p.quiet_lit = lit;
    p.disabled = {c.button_face, c.gray_text, c.gray_text};
    return p;
}

Palette palette_for(const SystemLook& look)
{
    return look.high_contrast ? high_contrast_palette(look.colours) : dark_palette();
}

}  // namespace tw::app::ui
