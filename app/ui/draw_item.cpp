#include "app/catalog_choice.h"
#include "app/ui/draw_primitives.h"
#include "app/ui/painters.h"
#include "app/ui/window_ui.h"

#include "client/platform/text.h"

#include <algorithm>
#include <string>

namespace tw::app::ui {
namespace {

using client::platform::widen;

ButtonStyle style_of(UINT id)
{
    switch (id) {
    case id_install_button:
        return ButtonStyle::primary;
    case id_back_button:
    case id_cancel_sign_in_button:
        return ButtonStyle::quiet;
    default:
        return ButtonStyle::secondary;
    }
}

bool is_sign_in_button(UINT id)
{
    return id == id_sign_in_button || id == id_reopen_browser_button || id == id_cancel_sign_in_button;
}

// Puts the already painted window under the button into the button, so that a button on the
// prompt panel sits on the panel's glow rather than on a flat patch.
bool copy_backdrop(const InstallerApp& app, const DRAWITEMSTRUCT& item)
{
    if (!app.back_buffer_dc)
        return false;
    POINT origin{0, 0};
    MapWindowPoints(item.hwndItem, app.window, &origin, 1);
    const RECT& r = item.rcItem;
    return BitBlt(item.hDC, r.left, r.top, width_of(r), height_of(r), app.back_buffer_dc, origin.x + r.left,
                  origin.y + r.top, SRCCOPY) != FALSE;
}

void draw_button_item(InstallerApp& app, const DRAWITEMSTRUCT& item)
{
    wchar_t buffer[128] = {};
    const int length = GetWindowTextW(item.hwndItem, buffer, static_cast<int>(std::size(buffer)));
    const std::wstring_view text(buffer, static_cast<size_t>(std::max(length, 0)));

    const bool hovered = item.hwndItem == app.hovered_button;
    const bool focused = (item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT);

    if (item.CtlID == id_official_button || item.CtlID == id_beta_button) {
        const bool selected = (item.CtlID == id_beta_button) == (app.channel == channel_beta);
        draw_segment(item.hDC, item.rcItem, text, selected, hovered, focused, app.fonts.segment,
                     app.fonts.segment_selected, window_background, app.dpi);
        return;
    }

    ButtonState state;
    state.disabled = (item.itemState & ODS_DISABLED) != 0;
    state.pressed = (item.itemState & ODS_SELECTED) != 0;
    state.hovered = hovered;
    state.focused = focused;
    Colour background = window_background;
    if (is_sign_in_button(item.CtlID) && app.prompt_in_list) {
        background = card_background;
        state.copied = copy_backdrop(app, item);
    }
    draw_button(item.hDC, item.rcItem, text, style_of(item.CtlID), state, app.fonts.button, scale(app, 4),
                background, app.dpi);
}

void draw_product_item(const InstallerApp& app, const DRAWITEMSTRUCT& item, bool selected)
{
    const auto index = static_cast<size_t>(item.itemID);
    if (!app.catalog || item.itemID == static_cast<UINT>(-1) || index >= app.catalog->products.size()) {
        fill_rect(item.hDC, item.rcItem, list_background);
        return;
    }
    draw_product_row(item.hDC, item.rcItem, widen(app.catalog->products[index].name), selected, app.fonts, app.dpi);
}

void draw_version_item(const InstallerApp& app, const DRAWITEMSTRUCT& item, bool selected)
{
    const auto index = static_cast<size_t>(item.itemID);
    if (item.itemID == static_cast<UINT>(-1) || index >= app.shown_builds.size() || !app.shown_builds[index]) {
        fill_rect(item.hDC, item.rcItem, list_background);
        return;
    }
    const catalog::CatalogBuild& build = *app.shown_builds[index];
    draw_version_row(item.hDC, item.rcItem, widen(build.version), widen(size_text(build.sizeBytes)), index == 0,
                     selected, app.fonts, app.dpi);
}

}  // namespace

void draw_item(InstallerApp& app, const DRAWITEMSTRUCT& item)
{
    if (item.CtlType == ODT_BUTTON) {
        draw_button_item(app, item);
        return;
    }
    if (item.CtlType != ODT_LISTBOX)
        return;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    if (item.hwndItem == app.product_list)
        draw_product_item(app, item, selected);
    else if (item.hwndItem == app.version_list)
        draw_version_item(app, item, selected);
}

}  // namespace tw::app::ui
