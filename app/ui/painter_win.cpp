#include "app/ui/painter_win.h"

#include "app/texts.h"
#include "app/translation.h"
#include "app/ui/decorations_win.h"
#include "app/ui/draw_primitives_win.h"
#include "app/ui/prompt_panel_win.h"
#include "app/ui/window_view_win.h"
#include "client/text_win.h"

#include <algorithm>
#include <string>

namespace tw::app::ui {
namespace {

constexpr wchar_t beta_glyph = L'\uE72E';
constexpr wchar_t official_glyph = L'\uE7B8';

// In units. The caption band, the monogram square in it and the brand's two words after it.
constexpr int header_band = 64;
constexpr int monogram_left = 24;
constexpr int monogram_top = 16;
constexpr int monogram_size = 32;
constexpr int monogram_radius = 4;
constexpr int monogram_to_brand = 12;
constexpr int brand_word_gap = 8;
constexpr int list_radius = 8;
constexpr int focus_ring_width = 2;
constexpr int code_letter_spacing = 4;

bool is_empty(const RECT& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

void paint_header(const WindowView& view, HDC dc, const RECT& client)
{
    const Palette& palette = view.palette;
    const int band = scale(view, header_band);
    fill_rect(dc, {0, 0, client.right, band}, palette.caption);
    fill_rect(dc, {0, band - hairline_px(view.dpi), client.right, band}, palette.caption_divider);

    constexpr int monogram_right = monogram_left + monogram_size;
    draw_monogram(dc,
                  {scale(view, monogram_left), scale(view, monogram_top), scale(view, monogram_right),
                   scale(view, monogram_top + monogram_size)},
                  view.resources.fonts.label, scale(view, monogram_radius), palette);

    const int left = scale(view, monogram_right) + scale(view, monogram_to_brand);
    const SIZE brand = measure_text(dc, text::brand, view.resources.fonts.heading);
    draw_text(dc, text::brand, {left, 0, left + brand.cx, band}, view.resources.fonts.heading, palette.text,
              DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    const int second = left + brand.cx + scale(view, brand_word_gap);
    draw_text(dc, shown(text::brand_suffix), {second, 0, client.right, band}, view.resources.fonts.heading, palette.text_muted,
              DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

std::wstring page_title(const WindowModel& model)
{
    if (model.screen == Screen::versions) {
        if (const catalog::CatalogProduct* product = selected_product(model))
            return client::platform::widen(product->name);
    }
    return shown(text::products_title);
}

void paint_empty_state(const WindowModel& model, const WindowView& view, HDC dc)
{
    const int inset = scale(view, hairline_units);
    const RECT panel = shrink(view.areas.list_rect, inset, inset);
    const int corner = scale(view, list_radius) * 2;
    const GdiOwner<HRGN> clip(CreateRoundRectRgn(panel.left, panel.top, panel.right, panel.bottom, corner, corner));
    SelectClipRgn(dc, clip.get());

    const bool beta = model.channel == Channel::beta;
    const std::wstring message = shown(beta ? beta_prompt_message(model) : text::no_official_releases);
    const PromptText text{message, view.resources.fonts.subtitle, view.resources.body_font_px,
                          beta ? view.areas.prompt_extra : 0};
    draw_prompt_panel(dc, panel, {beta ? beta_glyph : official_glyph, view.resources.fonts.icon}, text, view.dpi,
                      view.palette);
    SelectClipRgn(dc, nullptr);
}

void paint_list_outline(const WindowView& view, HDC dc)
{
    const int radius = scale(view, list_radius);
    if (view.focused_list && view.focused_list == GetFocus())
        stroke_round_rect(dc, view.areas.list_rect, radius, static_cast<float>(scale(view, focus_ring_width)),
                          view.palette.focus);
    else
        stroke_round_rect(dc, view.areas.list_rect, radius, static_cast<float>(hairline_px(view.dpi)),
                          view.palette.list_outline);
}

}  // namespace

void paint_window(const WindowModel& model, const WindowView& view, HDC dc, const RECT& client)
{
    const Palette& palette = view.palette;
    fill_rect(dc, client, palette.window);
    paint_header(view, dc, client);

    draw_text(dc, page_title(model), view.areas.title_rect, view.resources.fonts.title, palette.text, DT_SINGLELINE | DT_NOPREFIX);

    const bool versions = model.screen == Screen::versions;
    if (versions && !is_empty(view.areas.divider_rect))
        fill_rect(dc, view.areas.divider_rect, palette.list_outline);

    if (!is_empty(view.areas.list_rect)) {
        fill_round_rect(dc, view.areas.list_rect, scale(view, list_radius), palette.list);
        if (versions && model.shown_builds.empty())
            paint_empty_state(model, view, dc);
        paint_list_outline(view, dc);
    }

    const bool waiting = versions && model.channel == Channel::beta && model.beta_gate == BetaGate::waiting;
    if (waiting && !model.sign_in_code.empty() && !is_empty(view.areas.code_rect))
        draw_spaced_title(dc, view.areas.code_rect, model.sign_in_code, view.resources.fonts.code,
                          scale(view, code_letter_spacing), palette);
}

}  // namespace tw::app::ui
