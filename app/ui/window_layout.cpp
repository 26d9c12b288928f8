#include "app/ui/draw_primitives.h"
#include "app/ui/layout.h"
#include "app/ui/painters.h"
#include "app/ui/window_ui.h"

#include <algorithm>
#include <string>

namespace tw::app::ui {
namespace {

LayoutFacts gather_facts(const InstallerApp& app)
{
    LayoutFacts facts;
    facts.screen = app.screen;
    facts.catalog_loaded = app.catalog.has_value();
    facts.product_count = app.catalog ? static_cast<int>(app.catalog->products.size()) : 0;
    facts.self_update_offered = app.self_update_offered;
    if (const catalog::CatalogProduct* product = selected_product(app)) {
        for (const catalog::CatalogBuild& build : product->builds)
            ++(build.beta ? facts.beta_builds : facts.official_builds);
        facts.beta_available = product->betaAvailable;
        facts.betas_need_sign_in = product->betasNeedSignIn;
    }
    facts.channel = app.channel;
    facts.beta_gate = app.beta_gate;
    facts.shown_build_count = static_cast<int>(app.shown_builds.size());
    facts.status_height = app.status_height;
    return facts;
}

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
PromptControls place_prompt(const InstallerApp& app, bool waiting)
{
    HDC dc = GetDC(app.window);
    const PromptGeometry geometry = measure_prompt(dc, app.list_rect, beta_prompt_message(app),
                                                   app.fonts.subtitle, app.body_font_px, app.prompt_extra, app.dpi);
    ReleaseDC(app.window, dc);
    return place_prompt_controls(from_rect(geometry.extra), waiting, app.dpi);
}

void fit_window_height(InstallerApp& app, int content_bottom)
{
    RECT outer{0, 0, scale(app, client_width_units), scale(app, content_bottom)};
    app.client_height = outer.bottom;
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(app.window, GWL_STYLE));
    const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(app.window, GWL_EXSTYLE));
    AdjustWindowRectExForDpi(&outer, style, FALSE, ex_style, static_cast<UINT>(app.dpi));
    SetWindowPos(app.window, nullptr, 0, 0, width_of(outer), height_of(outer),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(app.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

}  // namespace

void layout(InstallerApp& app)
{
    const LayoutPlan plan = plan_layout(gather_facts(app));
    const int dpi = app.dpi;

    app.title_rect = to_rect(to_pixels(plan.title_rect, dpi));
    app.divider_rect = to_rect(to_pixels(plan.divider_rect, dpi));
    app.list_rect = to_rect(to_pixels(plan.list_rect, dpi));
    app.code_rect = to_rect(to_pixels(plan.code_rect, dpi));
    app.status_rect = to_rect(to_pixels(plan.status_rect, dpi));
    app.progress_rect = to_rect(to_pixels(plan.progress_rect, dpi));
    app.prompt_in_list = plan.prompt_in_list;
    app.prompt_extra = scale(app, plan.prompt_extra);

    Placement sign_in = to_pixels(plan.sign_in_button, dpi);
    Placement reopen_browser = to_pixels(plan.reopen_browser_button, dpi);
    Placement cancel_sign_in = to_pixels(plan.cancel_sign_in_button, dpi);
    if (plan.prompt_in_list) {
        const PromptControls prompt = place_prompt(app, plan.prompt_waiting);
        app.code_rect = to_rect(prompt.code_rect);
        sign_in = prompt.sign_in_button;
        reopen_browser = prompt.reopen_browser_button;
        cancel_sign_in = prompt.cancel_sign_in_button;
    }

    apply(app.back_button, to_pixels(plan.back_button, dpi));
    apply(app.status_label, to_pixels(plan.status_label, dpi));
    apply(app.product_list, to_pixels(plan.product_list, dpi));
    apply(app.official_button, to_pixels(plan.official_button, dpi));
    apply(app.beta_button, to_pixels(plan.beta_button, dpi));
    apply(app.version_list, to_pixels(plan.version_list, dpi));
    apply(app.beta_note, to_pixels(plan.beta_note, dpi));
    apply(app.sign_in_button, sign_in);
    apply(app.reopen_browser_button, reopen_browser);
    apply(app.cancel_sign_in_button, cancel_sign_in);
    apply(app.install_button, to_pixels(plan.install_button, dpi));
    apply(app.close_button, to_pixels(plan.close_button, dpi));

    if (app.window)
        fit_window_height(app, plan.content_bottom);
}

}  // namespace tw::app::ui
