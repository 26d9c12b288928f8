#include "app/ui/layout.h"

#include "app/ui/theme.h"

#include <algorithm>

namespace tw::app::ui {
namespace {

constexpr int content_left = 24;
constexpr int content_width = content_width_units;
constexpr int content_right = content_left + content_width;
constexpr int list_left = 28;
constexpr int list_width = 504;
constexpr int button_height = 44;

// Vertical rhythm: a list sits in a panel `panel_gap` below what comes before it, inset on all
// sides; the bar runs between the status and the buttons; the window ends under the buttons.
constexpr int panel_gap = 12;
constexpr int list_inset = 6;
constexpr int panel_to_buttons = 24;
constexpr int progress_gap = 6;
constexpr int progress_height = 6;
constexpr int progress_to_buttons = 12;
constexpr int bottom_margin = 16;
constexpr int title_height = 32;

// The buttons of the bottom row end at this edge, a little past the content's.
constexpr int button_row_right = 540;
constexpr int button_gap = 4;

// Each button's designed width; a longer label widens it.
constexpr int back_width = 120;
constexpr int official_width = 112;
constexpr int beta_width = 96;
constexpr int sign_in_width = 228;
constexpr int reopen_browser_width = 224;
constexpr int cancel_sign_in_width = 92;
constexpr int install_width = 128;
constexpr int get_new_installer_width = 208;
constexpr int close_width = 108;

// The products screen.
constexpr int products_title_top = 88;
constexpr int products_status_top = 124;
constexpr int most_product_rows = 6;

// The versions screen, laid out as if the back button's row were there; without it everything
// moves up by `back_row`.
constexpr int back_row = 28;
constexpr int back_left = 14;
constexpr int back_top = 76;
constexpr int back_height = 36;
constexpr int versions_title_top = 116;
constexpr int channel_top = 160;
constexpr int channel_height = 40;
constexpr int divider_top = channel_top + channel_height;
constexpr int divider_height = 1;
constexpr int list_panel_top = divider_top + panel_gap;
constexpr int panel_to_status = 16;
constexpr int fewest_version_rows = 3;
constexpr int most_version_rows = 5;
constexpr int sign_in_left = 20;
constexpr int code_inset = 4;  // the code's box starts this far under the sign-in row's top
constexpr int code_right = 220;
constexpr int code_height = 36;
constexpr int sign_in_row_below = 8;

// A prompt in the list panel: the code over its buttons while waiting, the sign-in button alone
// before.
constexpr int prompt_code_width = 196;
constexpr int prompt_code_to_buttons = 8;
constexpr int prompt_waiting_height = code_height + prompt_code_to_buttons + button_height;

Placement place(int x, int y, int width, int height, bool shown = true)
{
    return {x, y, width, height, shown};
}

int fit(int designed, int label) { return std::max(designed, label); }

// A button whose right edge stays at `right` however wide its label makes it.
Placement place_from_right(int right, int y, int designed, int label, bool shown = true)
{
    const int width = fit(designed, label);
    return place(right - width, y, width, button_height, shown);
}

// The status line and, under it, the progress bar and the Install and Close buttons of the
// version screen; returns the content bottom.
int place_status_and_buttons(LayoutPlan& plan, int y, int status_height, const LabelWidths& labels)
{
    const int s = status_height;
    plan.status_rect = {content_left, y, content_right, y + s};
    plan.status_label = place(content_left, y, content_width, s);
    const int progress_top = y + s + progress_gap;
    plan.progress_rect = {content_left, progress_top, content_right, progress_top + progress_height};
    const int buttons_top = progress_top + progress_height + progress_to_buttons;
    plan.close_button = place_from_right(button_row_right, buttons_top, close_width, labels.close);
    plan.install_button =
        place_from_right(plan.close_button.x - button_gap, buttons_top, install_width, labels.install);
    return buttons_top + button_height + bottom_margin;
}

// A list `rows_height` high in its panel from `top`; returns the panel's bottom.
int place_list_panel(LayoutPlan& plan, Placement& list, int top, int rows_height, bool shown)
{
    const int bottom = top + list_inset + rows_height + list_inset;
    plan.list_rect = {content_left, top, content_right, bottom};
    list = place(list_left, top + list_inset, list_width, rows_height, shown);
    return bottom;
}

// The larger channel decides, so switching channels never resizes the window; a product whose
// betas need a sign-in but has none yet keeps room for the prompt.
int version_rows(const LayoutFacts& facts)
{
    const int larger = std::max(facts.official_builds, facts.beta_builds);
    const int least = facts.betas_need_sign_in && facts.beta_builds == 0 ? most_version_rows : fewest_version_rows;
    return std::clamp(larger, least, most_version_rows);
}

// The channel row and the version list's panel; returns the panel's bottom. `d` moves
// everything up when there is no back button.
int place_channels_and_list(const LayoutFacts& facts, LayoutPlan& plan, int d)
{
    const LabelWidths& labels = facts.labels;
    plan.title_rect = {content_left, versions_title_top + d, content_right, versions_title_top + title_height + d};
    plan.official_button = place(content_left, channel_top + d, fit(official_width, labels.official), channel_height);
    const int beta_left = plan.official_button.x + plan.official_button.width + button_gap;
    plan.beta_button =
        place(beta_left, channel_top + d, fit(beta_width, labels.beta), channel_height, facts.beta_available);
    plan.divider_rect = {content_left, divider_top + d, content_right, divider_top + divider_height + d};

    plan.product_list = {};
    return place_list_panel(plan, plan.version_list, list_panel_top + d, version_rows(facts) * version_row_height,
                            facts.shown_build_count > 0);
}

// The beta note, the sign-in buttons and the code under the list, or the prompt inside the
// empty list; returns where the status goes.
int place_sign_in(const LayoutFacts& facts, LayoutPlan& plan, int y)
{
    const bool beta = facts.channel == Channel::beta;
    const bool needed = beta && facts.beta_gate == BetaGate::sign_in_needed;
    const bool waiting = beta && facts.beta_gate == BetaGate::waiting;
    const LabelWidths& labels = facts.labels;

    // Hidden controls keep a zero placement; only `shown` matters for them.
    plan.beta_note = {};
    plan.sign_in_button = {};
    plan.reopen_browser_button = {};
    plan.cancel_sign_in_button = {};
    plan.code_rect = {};
    plan.prompt_extra = 0;

    if ((needed || waiting) && facts.shown_build_count == 0) {
        plan.prompt_in_list = true;
        plan.prompt_waiting = waiting;
        plan.prompt_extra = waiting ? prompt_waiting_height : button_height;
        return y;
    }
    if (!facts.betas_need_sign_in || facts.beta_builds == 0)
        return y;
    // A note of more than one line pushes the rest down by its extra lines, on both channels, as
    // the area's room does not change with the channel either.
    const int note_height = std::max(facts.beta_note_height, beta_note_line_units);
    const int sign_in_y = y + note_height;
    if (needed || waiting) {
        plan.beta_note = place(content_left, y, content_width, note_height);
        plan.sign_in_button = place(sign_in_left, sign_in_y, fit(sign_in_width, labels.sign_in), button_height, needed);
        plan.cancel_sign_in_button = place_from_right(button_row_right, sign_in_y, cancel_sign_in_width,
                                                      labels.cancel_sign_in, waiting);
        plan.reopen_browser_button = place_from_right(plan.cancel_sign_in_button.x, sign_in_y, reopen_browser_width,
                                                      labels.reopen_browser, waiting);
        const int code_top = sign_in_y + code_inset;
        plan.code_rect = {content_left, code_top, code_right, code_top + code_height};
    }
    // The sign-in area keeps its room on both channels so that the window does not jump.
    return sign_in_y + button_height + sign_in_row_below;
}

void plan_versions(const LayoutFacts& facts, LayoutPlan& plan)
{
    // Without the back button everything moves up by its row.
    const bool back = facts.product_count > 1;
    const int d = back ? 0 : -back_row;
    plan.back_button = place(back_left, back_top, fit(back_width, facts.labels.back), back_height, back);
    const int panel_bottom = place_channels_and_list(facts, plan, d);
    const int y = place_sign_in(facts, plan, panel_bottom + panel_to_status);
    plan.content_bottom = place_status_and_buttons(plan, y, facts.status_height, facts.labels);
}

// The product list's panel under the status from `y`, or nothing when there is only a new
// Installer to offer; returns where the row under it starts.
int place_product_list(const LayoutFacts& facts, LayoutPlan& plan, int y)
{
    const bool no_products = !facts.catalog_loaded || facts.product_count == 0;
    if (no_products && facts.self_update_offered) {
        plan.list_rect = {};
        plan.product_list = {};
        return y + panel_gap;
    }
    const int h = std::clamp(facts.product_count, 1, most_product_rows) * product_row_height;
    return place_list_panel(plan, plan.product_list, y + panel_gap, h, facts.product_count > 0) + panel_to_buttons;
}

// The versions screen's controls, which the products screen does not show.
void clear_versions_controls(LayoutPlan& plan)
{
    plan.official_button = {};
    plan.beta_button = {};
    plan.version_list = {};
    plan.beta_note = {};
    plan.sign_in_button = {};
    plan.reopen_browser_button = {};
    plan.cancel_sign_in_button = {};
    plan.install_button = {};
    plan.divider_rect = {};
    plan.code_rect = {};
    plan.progress_rect = {};
}

void plan_products(const LayoutFacts& facts, LayoutPlan& plan)
{
    const int s = facts.status_height;
    plan.back_button = {};
    plan.title_rect = {content_left, products_title_top, content_right, products_title_top + title_height};
    plan.status_rect = {content_left, products_status_top, content_right, products_status_top + s};
    plan.status_label = place(content_left, products_status_top, content_width, s);
    clear_versions_controls(plan);

    // The first row under the list: the bar when a new Installer is offered, else the buttons.
    const int first_row = place_product_list(facts, plan, products_status_top + s);
    const int under_bar = first_row + progress_height + progress_to_buttons;
    int button_row = first_row;
    if (facts.self_update_offered) {
        plan.progress_rect = {content_left, first_row, content_right, first_row + progress_height};
        button_row = under_bar;
    }
    plan.close_button = place_from_right(button_row_right, button_row, close_width, facts.labels.close);
    if (facts.self_update_offered)
        plan.install_button = place_from_right(plan.close_button.x, under_bar, get_new_installer_width,
                                               facts.labels.get_new_installer);
    plan.content_bottom = button_row + button_height + bottom_margin;
}

}  // namespace

LayoutPlan plan_layout(const LayoutFacts& facts)
{
    LayoutPlan plan;
    if (facts.screen == Screen::versions)
        plan_versions(facts, plan);
    else
        plan_products(facts, plan);
    return plan;
}

Placement to_pixels(const Placement& units, int dpi)
{
    return {scale_to_dpi(units.x, dpi), scale_to_dpi(units.y, dpi), scale_to_dpi(units.width, dpi),
            scale_to_dpi(units.height, dpi), units.shown};
}

UnitRect to_pixels(const UnitRect& units, int dpi)
{
    if (units.empty())
        return {};
    return {scale_to_dpi(units.left, dpi), scale_to_dpi(units.top, dpi), scale_to_dpi(units.right, dpi),
            scale_to_dpi(units.bottom, dpi)};
}

PromptControls place_prompt_controls(const UnitRect& area, bool waiting, int dpi, const LabelWidths& labels)
{
    const auto px = [dpi](int units) { return scale_to_dpi(units, dpi); };
    const int cx = area.left + area.width() / 2;
    PromptControls controls;
    if (waiting) {
        // The code above, the two buttons side by side a button's height lower.
        const int top = area.top + (area.height() - px(prompt_waiting_height)) / 2;
        const int code_width = px(prompt_code_width);
        const int code_left = cx - code_width / 2;
        controls.code_rect = {code_left, top, code_left + code_width, top + px(code_height)};
        const int reopen = px(fit(reopen_browser_width, labels.reopen_browser));
        const int cancel = px(fit(cancel_sign_in_width, labels.cancel_sign_in));
        const int pair_left = cx - (reopen + cancel) / 2;
        const int buttons_top = top + px(code_height + prompt_code_to_buttons);
        controls.reopen_browser_button = {pair_left, buttons_top, reopen, px(button_height), true};
        controls.cancel_sign_in_button = {pair_left + reopen, buttons_top, cancel, px(button_height), true};
    } else {
        const int top = area.top + (area.height() - px(button_height)) / 2;
        const int sign_in = px(fit(sign_in_width, labels.sign_in));
        controls.sign_in_button = {cx - sign_in / 2, top, sign_in, px(button_height), true};
    }
    return controls;
}

}  // namespace tw::app::ui
