#include "app/texts.h"
#include "app/ui/draw_primitives.h"
#include "app/ui/painters.h"
#include "app/ui/window_ui.h"

#include "client/platform/text.h"

#include <algorithm>
#include <string>

namespace tw::app::ui {
namespace {

constexpr wchar_t beta_glyph = L'\uE72E';
constexpr wchar_t official_glyph = L'\uE7B8';

bool is_empty(const RECT& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

void paint_header(const InstallerApp& app, HDC dc, const RECT& client)
{
    const int band = scale(app, 64);
    fill_rect(dc, {0, 0, client.right, band}, caption_colour);
    fill_rect(dc, {0, band - std::max(scale(app, 1), 1), client.right, band}, blend(border_colour, caption_colour, 128));

    draw_monogram(dc, {scale(app, 24), scale(app, 16), scale(app, 56), scale(app, 48)}, app.fonts.label,
                  scale(app, 4));

    const int left = scale(app, 56) + scale(app, 12);
    const SIZE brand = measure_text(dc, L"Tarnwick", app.fonts.heading);
    draw_text(dc, L"Tarnwick", {left, 0, left + brand.cx, band}, app.fonts.heading, text_colour,
              DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    const int second = left + brand.cx + scale(app, 8);
    draw_text(dc, L"Installer", {second, 0, client.right, band}, app.fonts.heading, text_muted,
              DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

std::wstring page_title(const InstallerApp& app)
{
    if (app.screen == screen_versions) {
        if (const catalog::CatalogProduct* product = selected_product(app))
            return client::platform::widen(product->name);
    }
    return L"Install Tarnwick software";
}

void paint_empty_state(const InstallerApp& app, HDC dc)
{
    const int inset = scale(app, 1);
    const RECT panel = shrink(app.list_rect, inset, inset);
    const int corner = scale(app, 8) * 2;
    const GdiOwner<HRGN> clip(CreateRoundRectRgn(panel.left, panel.top, panel.right, panel.bottom, corner, corner));
    SelectClipRgn(dc, clip.get());

    if (app.channel == channel_beta) {
        draw_prompt_panel(dc, panel, beta_glyph, beta_prompt_message(app), app.fonts.icon, app.fonts.subtitle, app.body_font_px,
                          app.prompt_extra, app.dpi);
    } else {
        draw_prompt_panel(dc, panel, official_glyph, text::no_official_releases, app.fonts.icon, app.fonts.subtitle,
                          app.body_font_px, 0, app.dpi);
    }
    SelectClipRgn(dc, nullptr);
}

void paint_list_outline(const InstallerApp& app, HDC dc)
{
    const int radius = scale(app, 8);
    if (app.focused_list && app.focused_list == GetFocus())
        stroke_round_rect(dc, app.list_rect, radius, static_cast<float>(scale(app, 2)), focus_ring);
    else
        stroke_round_rect(dc, app.list_rect, radius, static_cast<float>(std::max(scale(app, 1), 1)),
                          blend(border_colour, window_background, 128));
}

}  // namespace

void paint_window(InstallerApp& app, HDC dc, const RECT& client)
{
    fill_rect(dc, client, window_background);
    paint_header(app, dc, client);

    draw_text(dc, page_title(app), app.title_rect, app.fonts.title, text_colour, DT_SINGLELINE | DT_NOPREFIX);

    const bool versions = app.screen == screen_versions;
    if (versions && !is_empty(app.divider_rect))
        fill_rect(dc, app.divider_rect, blend(border_colour, window_background, 128));

    if (!is_empty(app.list_rect)) {
        fill_round_rect(dc, app.list_rect, scale(app, 8), list_background);
        if (versions && app.shown_builds.empty())
            paint_empty_state(app, dc);
        paint_list_outline(app, dc);
    }

    const bool waiting = versions && app.channel == channel_beta && app.beta_gate == gate_waiting;
    if (waiting && !app.sign_in_code.empty() && !is_empty(app.code_rect))
        draw_spaced_title(dc, app.code_rect, app.sign_in_code, app.fonts.code, scale(app, 4));

    if (app.busy.load() && width_of(app.progress_rect) > 0)
        draw_progress(dc, app.progress_rect, app.progress);
}

}  // namespace tw::app::ui
