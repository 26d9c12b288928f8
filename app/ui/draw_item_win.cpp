#include "app/ui/draw_item_win.h"

#include "app/catalog_choice.h"
#include "app/translation.h"
#include "app/ui/buttons_win.h"
#include "app/ui/draw_primitives_win.h"
#include "app/ui/rows_win.h"
#include "client/text_win.h"

#include <algorithm>
#include <string>

namespace tw::app::ui {
namespace {

constexpr int button_radius = 4;  // units

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
bool copy_backdrop(const WindowView& view, const DRAWITEMSTRUCT& item)
{
    const HDC back_buffer = view.resources.back_buffer.dc();
    if (!back_buffer)
        return false;
    POINT origin{0, 0};
    MapWindowPoints(item.hwndItem, view.window, &origin, 1);
    const RECT& r = item.rcItem;
    return BitBlt(item.hDC, r.left, r.top, width_of(r), height_of(r), back_buffer, origin.x + r.left,
                  origin.y + r.top, SRCCOPY) != FALSE;
}

void draw_button_item(const WindowModel& model, const WindowView& view, const DRAWITEMSTRUCT& item)
{
    wchar_t buffer[128] = {};
    const int length = GetWindowTextW(item.hwndItem, buffer, static_cast<int>(std::size(buffer)));
    const std::wstring_view text(buffer, static_cast<size_t>(std::max(length, 0)));

    const bool hovered = item.hwndItem == view.hovered_button;
    // High contrast users find their place by the ring alone, so it shows even while Windows
    // hides keyboard cues until a key is pressed.
    const bool cues_hidden = (item.itemState & ODS_NOFOCUSRECT) && !view.palette.high_contrast;
    const bool focused = (item.itemState & ODS_FOCUS) && !cues_hidden;

    if (item.CtlID == id_official_button || item.CtlID == id_beta_button) {
        const bool selected = (item.CtlID == id_beta_button) == (model.channel == Channel::beta);
        draw_segment({item.hDC, item.rcItem, view.palette.window, view.dpi, view.palette}, text,
                     {selected, hovered, focused},
                     {view.resources.fonts.segment, view.resources.fonts.segment_selected});
        return;
    }

    ButtonState state;
    state.disabled = (item.itemState & ODS_DISABLED) != 0;
    state.pressed = (item.itemState & ODS_SELECTED) != 0;
    state.hovered = hovered;
    state.focused = focused;
    Colour background = view.palette.window;
    if (is_sign_in_button(item.CtlID) && view.areas.prompt_in_list) {
        background = view.palette.card;
        state.copied = copy_backdrop(view, item);
    }
    draw_button({item.hDC, item.rcItem, background, view.dpi, view.palette}, text, style_of(item.CtlID), state,
                view.resources.fonts.button, scale(view, button_radius));
}

void draw_product_item(const WindowModel& model, const WindowView& view, const DRAWITEMSTRUCT& item, bool selected)
{
    const auto index = static_cast<size_t>(item.itemID);
    if (!model.catalog || item.itemID == static_cast<UINT>(-1) || index >= model.catalog->products.size()) {
        fill_rect(item.hDC, item.rcItem, view.palette.list);
        return;
    }
    draw_product_row({item.hDC, item.rcItem, selected, view.dpi, view.palette},
                     widen(model.catalog->products[index].name), view.resources.fonts);
}

void draw_version_item(const WindowModel& model, const WindowView& view, const DRAWITEMSTRUCT& item, bool selected)
{
    const catalog::CatalogProduct* product = selected_product(model);
    const auto row = static_cast<size_t>(item.itemID);
    if (!product || item.itemID == static_cast<UINT>(-1) || row >= model.shown_builds.size() ||
        model.shown_builds[row] >= product->builds.size()) {
        fill_rect(item.hDC, item.rcItem, view.palette.list);
        return;
    }
    const catalog::CatalogBuild& build = product->builds[model.shown_builds[row]];
    const std::wstring version = widen(build.version);
    const std::wstring size = shown_size(build.size_bytes, shown_language());
    draw_version_row({item.hDC, item.rcItem, selected, view.dpi, view.palette}, {version, size, row == 0},
                     view.resources.fonts);
}

}  // namespace

void draw_item(const WindowModel& model, const WindowView& view, const DRAWITEMSTRUCT& item)
{
    if (item.CtlType == ODT_BUTTON) {
        draw_button_item(model, view, item);
        return;
    }
    if (item.CtlType != ODT_LISTBOX)
        return;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    if (item.hwndItem == view.controls.product_list)
        draw_product_item(model, view, item, selected);
    else if (item.hwndItem == view.controls.version_list)
        draw_version_item(model, view, item, selected);
}

}  // namespace tw::app::ui
