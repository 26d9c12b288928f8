#include "app/ui/window_layout_win.h"

#include "app/ui/draw_primitives_win.h"
#include "app/translation.h"
#include "app/ui/layout.h"
#include "app/ui/model_layout.h"
#include "app/ui/prompt_panel_win.h"

#include <algorithm>
#include <string>

namespace tw::app::ui {
namespace {

RECT to_rect(const UnitRect& pixels) { return {pixels.left, pixels.top, pixels.right, pixels.bottom}; }
UnitRect from_rect(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

// `pixels` is already converted; a hidden control keeps its place and only disappears.
void apply(HWND control, const Placement& pixels)
{
    if (!control)
        return;
    if (!pixels.shown) {
        ShowWindow(control, SW_HIDE);
        return;
    }
    SetWindowPos(control, nullptr, pixels.x, pixels.y, pixels.width, pixels.height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

// The prompt in the empty list is measured with the painter's own routine, so the code and
// the buttons land exactly in the room it leaves under the text.
PromptControls place_prompt(const WindowModel& model, const WindowView& view, bool waiting)
{
    const client::platform::WindowDc dc(view.window);
    const std::wstring message = shown(beta_prompt_message(model));
    const PromptGeometry geometry = measure_prompt(
        dc.get(), view.areas.list_rect,
        {message, view.resources.fonts.subtitle, view.resources.body_font_px, view.areas.prompt_extra}, view.dpi);
    return place_prompt_controls(from_rect(geometry.extra), waiting, view.dpi, view.label_widths);
}

// The bar fills the progress area, and only while work runs.
Placement progress_placement(const RECT& bar, bool busy)
{
    return {bar.left, bar.top, width_of(bar), height_of(bar), busy && width_of(bar) > 0};
}

void fit_window_height(WindowView& view, int content_bottom)
{
    RECT outer{0, 0, scale(view, client_width_units), scale(view, content_bottom)};
    view.areas.client_height = outer.bottom;
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(view.window, GWL_STYLE));
    const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(view.window, GWL_EXSTYLE));
    AdjustWindowRectExForDpi(&outer, style, FALSE, ex_style, static_cast<UINT>(view.dpi));
    SetWindowPos(view.window, nullptr, 0, 0, width_of(outer), height_of(outer),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(view.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

}  // namespace

void layout(const WindowModel& model, WindowView& view)
{
    const LayoutPlan plan = plan_layout(layout_facts(model, view.status_height, view.label_widths, view.beta_note_height));
    const int dpi = view.dpi;
    PaintAreas& areas = view.areas;

    areas.title_rect = to_rect(to_pixels(plan.title_rect, dpi));
    areas.divider_rect = to_rect(to_pixels(plan.divider_rect, dpi));
    areas.list_rect = to_rect(to_pixels(plan.list_rect, dpi));
    areas.code_rect = to_rect(to_pixels(plan.code_rect, dpi));
    areas.status_rect = to_rect(to_pixels(plan.status_rect, dpi));
    areas.progress_rect = to_rect(to_pixels(plan.progress_rect, dpi));
    areas.prompt_in_list = plan.prompt_in_list;
    areas.prompt_extra = scale(view, plan.prompt_extra);

    Placement sign_in = to_pixels(plan.sign_in_button, dpi);
    Placement reopen_browser = to_pixels(plan.reopen_browser_button, dpi);
    Placement cancel_sign_in = to_pixels(plan.cancel_sign_in_button, dpi);
    if (plan.prompt_in_list) {
        const PromptControls prompt = place_prompt(model, view, plan.prompt_waiting);
        areas.code_rect = to_rect(prompt.code_rect);
        sign_in = prompt.sign_in_button;
        reopen_browser = prompt.reopen_browser_button;
        cancel_sign_in = prompt.cancel_sign_in_button;
    }

    const Controls& c = view.controls;
    apply(c.back_button, to_pixels(plan.back_button, dpi));
    apply(c.status_label, to_pixels(plan.status_label, dpi));
    apply(c.product_list, to_pixels(plan.product_list, dpi));
    apply(c.official_button, to_pixels(plan.official_button, dpi));
    apply(c.beta_button, to_pixels(plan.beta_button, dpi));
    apply(c.version_list, to_pixels(plan.version_list, dpi));
    apply(c.beta_note, to_pixels(plan.beta_note, dpi));
    apply(c.sign_in_button, sign_in);
    apply(c.reopen_browser_button, reopen_browser);
    apply(c.cancel_sign_in_button, cancel_sign_in);
    apply(c.install_button, to_pixels(plan.install_button, dpi));
    apply(c.close_button, to_pixels(plan.close_button, dpi));
    apply(c.progress_bar, progress_placement(areas.progress_rect, busy(model)));

    if (view.window)
        fit_window_height(view, plan.content_bottom);
}

}  // namespace tw::app::ui
