#include "app/ui/rows_win.h"

#include "app/texts.h"
#include "app/translation.h"
#include "app/ui/draw_primitives_win.h"

#include <algorithm>

namespace tw::app::ui {
namespace {

// In units. A row's rounded content inside its slot, the selected row's marker at its start,
// and the margins its texts keep.
constexpr int row_inset_x = 4;
constexpr int row_inset_y = 2;
constexpr int row_radius = 4;
constexpr int marker_width = 2;
constexpr int text_margin = 16;
constexpr int chevron_room = 40;  // the product name stops short of the chevron
constexpr int badge_padding_x = 16;
constexpr int badge_padding_y = 4;
constexpr int badge_gap = 10;

}  // namespace

RECT draw_row_background(const RowCanvas& canvas)
{
    const auto& [dc, row, selected, dpi, palette] = canvas;
    fill_rect(dc, row, palette.list);
    const RECT content = shrink(row, scale_to_dpi(row_inset_x, dpi), scale_to_dpi(row_inset_y, dpi));
    if (selected) {
        fill_round_rect(dc, content, scale_to_dpi(row_radius, dpi), palette.selected_row.fill);
        const RECT bar{content.left, content.top, content.left + scale_to_dpi(marker_width, dpi), content.bottom};
        fill_rect(dc, bar, palette.selected_row.marker);
    }
    return content;
}

void draw_product_row(const RowCanvas& canvas, std::wstring_view name, const Fonts& fonts)
{
    const auto& [dc, row, selected, dpi, palette] = canvas;
    const RowLook& look = selected ? palette.selected_row : palette.row;
    const RECT c = draw_row_background(canvas);
    const int margin = scale_to_dpi(text_margin, dpi);

    const RECT name_rect{c.left + margin, c.top, c.right - scale_to_dpi(chevron_room, dpi), c.bottom};
    draw_text(dc, name, name_rect, fonts.row_title, look.text,
              DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);

    const RECT chevron_rect{c.left, c.top, c.right - margin, c.bottom};
    draw_text(dc, L"\u203A", chevron_rect, fonts.chevron, look.marker,
              DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void draw_version_row(const RowCanvas& canvas, const VersionRowText& content, const Fonts& fonts)
{
    const auto& [dc, row, selected, dpi, palette] = canvas;
    const auto [version, size, latest] = content;
    const RowLook& look = selected ? palette.selected_row : palette.row;
    const RECT c = draw_row_background(canvas);
    const int margin = scale_to_dpi(text_margin, dpi);

    const SIZE version_size = measure_text(dc, version, fonts.row_title);
    const int version_left = c.left + margin;
    const RECT version_rect{version_left, c.top, version_left + version_size.cx, c.bottom};
    draw_text(dc, version, version_rect, fonts.row_title, look.text,
              DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);

    if (latest) {
        const std::wstring badge = shown(text::latest_badge);
        const SIZE text = measure_text(dc, badge, fonts.badge);
        const int pill_width = text.cx + scale_to_dpi(badge_padding_x, dpi);
        const int pill_height = text.cy + scale_to_dpi(badge_padding_y, dpi);
        const int left = version_rect.right + scale_to_dpi(badge_gap, dpi);
        const int top = c.top + (height_of(c) - pill_height) / 2;
        const RECT pill{left, top, left + pill_width, top + pill_height};
        fill_round_rect(dc, pill, pill_height / 2, look.badge_fill);
        if (look.badge_outline)
            stroke_round_rect(dc, pill, pill_height / 2, static_cast<float>(hairline_px(dpi)),
                              *look.badge_outline);
        draw_text(dc, badge, pill, fonts.badge, look.badge_text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }

    const RECT size_rect{c.left, c.top, c.right - margin, c.bottom};
    draw_text(dc, size, size_rect, fonts.row_detail, look.detail, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

}  // namespace tw::app::ui
