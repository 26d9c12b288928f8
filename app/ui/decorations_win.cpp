#include "app/ui/decorations_win.h"

#include "app/ui/draw_primitives_win.h"

#include <algorithm>

namespace tw::app::ui {

void draw_progress(HDC dc, const RECT& bar, double fraction, const Palette& palette)
{
    const int height = height_of(bar);
    const int radius = height / 2;
    fill_round_rect(dc, bar, radius, palette.progress_track);
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (fraction > 0.0) {
        // Never narrower than it is high: the smallest fill is a round dot, not a sliver.
        const int filled = std::max(height, static_cast<int>(width_of(bar) * fraction));
        fill_round_rect(dc, {bar.left, bar.top, bar.left + filled, bar.bottom}, radius, palette.progress_fill);
    }
    // A track the colour of the window would leave the bar's length unseen.
    if (palette.progress_outline)
        stroke_round_rect(dc, bar, radius, 1.0f, *palette.progress_outline);
}

void draw_monogram(HDC dc, const RECT& tile, HFONT font, int radius, const Palette& palette)
{
    fill_round_rect(dc, tile, radius, palette.card);
    stroke_round_rect(dc, tile, radius, 1.0f, palette.card_outline);

    const SIZE t = measure_text(dc, L"T", font);
    const SIZE w = measure_text(dc, L"W", font);
    const int left = tile.left + (width_of(tile) - (t.cx + w.cx)) / 2;
    const int top = tile.top + (height_of(tile) - t.cy) / 2;
    // A mirrored window's x runs leftwards; the mark still reads T, then W, as on the icon.
    const bool mirrored = (GetLayout(dc) & LAYOUT_RTL) != 0;
    const int t_left = mirrored ? left + w.cx : left;
    const int w_left = mirrored ? left : left + t.cx;
    draw_text(dc, L"T", {t_left, top, t_left + t.cx, top + t.cy}, font, palette.monogram_first, DT_SINGLELINE | DT_NOPREFIX);
    draw_text(dc, L"W", {w_left, top, w_left + w.cx, top + w.cy}, font, palette.monogram_second, DT_SINGLELINE | DT_NOPREFIX);
}

void draw_spaced_title(HDC dc, const RECT& card, std::wstring_view text, HFONT font, int radius,
                       const Palette& palette)
{
    fill_round_rect(dc, card, radius, palette.card);
    stroke_round_rect(dc, card, radius, 1.0f, palette.card_outline);
    if (text.empty())
        return;

    const SelectionScope selected(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int spacing = std::max(1, MulDiv(metrics.tmHeight, 8, 100));
    const int previous_spacing = SetTextCharacterExtra(dc, spacing);

    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    // The spacing follows every character, the last one too; centring ignores that last gap.
    const int width = size.cx - spacing;
    const int x = card.left + (width_of(card) - width) / 2;
    const int y = card.top + (height_of(card) - size.cy) / 2;

    const int previous_mode = SetBkMode(dc, TRANSPARENT);
    const COLORREF previous_colour = SetTextColor(dc, palette.text);
    TextOutW(dc, x, y, text.data(), static_cast<int>(text.size()));
    SetTextColor(dc, previous_colour);
    SetBkMode(dc, previous_mode);
    SetTextCharacterExtra(dc, previous_spacing);
}

}  // namespace tw::app::ui
