#include "app/ui/layout.h"

#include "app/ui/theme.h"

#include <algorithm>

namespace tw::app::ui {
namespace {

constexpr int content_left = 24;
constexpr int content_right = 536;
constexpr int content_width = content_right - content_left;
constexpr int list_left = 28;
constexpr int list_width = 504;
constexpr int button_height = 44;
constexpr int product_row_height = 48;
constexpr int version_row_height = 44;

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
    plan.progress_rect = {content_left, y + s + 6, content_right, y + s + 12};
    plan.close_button = place_from_right(540, y + s + 24, 108, labels.close);
    plan.install_button = place_from_right(plan.close_button.x - 4, y + s + 24, 128, labels.install);
    return y + s + 84;
}

// The larger channel decides, so switching channels never resizes the window; a product whose
// betas need a sign-in but has none yet keeps room for the prompt.
int version_rows(const LayoutFacts& facts)
{
    const int larger = std::max(facts.official_builds, facts.beta_builds);
    const int least = facts.betas_need_sign_in && facts.beta_builds == 0 ? 5 : 3;
    return std::clamp(larger, least, 5);
}

// The beta sign-in under the version list, from `top`: its prompt inside an empty list, or the
// note, the buttons and the code under a list; returns where the status line starts.
int place_sign_in(const LayoutFacts& facts, int top, LayoutPlan& plan)
{
    const bool beta = facts.channel == Channel::beta;
    const bool needed = beta && facts.beta_gate == BetaGate::sign_in_needed;
    const bool waiting = beta && facts.beta_gate == BetaGate::waiting;

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
        plan.prompt_extra = waiting ? 88 : 44;
        return top;
    }
    if (!facts.betas_need_sign_in || facts.beta_builds == 0)
        return top;
    // A note of more than one line pushes the rest down by its extra lines, on both channels, as
    // the area's room does not change with the channel either.
    const int more = std::max(facts.beta_note_height - beta_note_line_units, 0);
    if (needed || waiting) {
        const LabelWidths& labels = facts.labels;
        const int buttons_y = top + 22 + more;
        plan.beta_note = place(content_left, top, content_width, beta_note_line_units + more);
        plan.sign_in_button = place(20, buttons_y, fit(228, labels.sign_in), button_height, needed);
        plan.cancel_sign_in_button = place_from_right(540, buttons_y, 92, labels.cancel_sign_in, waiting);
        plan.reopen_browser_button = place_from_right(plan.cancel_sign_in_button.x, buttons_y, 224,
                                                      labels.reopen_browser, waiting);
        plan.code_rect = {content_left, buttons_y + 4, 220, buttons_y + 40};
    }
    // The sign-in area keeps its room on both channels so that the window does not jump.
    return top + 74 + more;
}

void plan_versions(const LayoutFacts& facts, LayoutPlan& plan)
{
    // Without the back button everything moves up by its row.
    const bool back = facts.product_count > 1;
    const int d = back ? 0 : -28;

    const LabelWidths& labels = facts.labels;
    plan.back_button = place(14, 76, fit(120, labels.back), 36, back);
    plan.title_rect = {content_left, 116 + d, content_right, 148 + d};
    plan.official_button = place(24, 160 + d, fit(112, labels.official), 40);
    const int beta_left = plan.official_button.x + plan.official_button.width + 4;
    plan.beta_button = place(beta_left, 160 + d, fit(96, labels.beta), 40, facts.beta_available);
    plan.divider_rect = {content_left, 200 + d, content_right, 201 + d};

    const int h = version_rows(facts) * version_row_height;
    plan.list_rect = {content_left, 212 + d, content_right, 224 + d + h};
    plan.version_list = place(list_left, 218 + d, list_width, h, facts.shown_build_count > 0);
    plan.product_list = {};

    const int y = place_sign_in(facts, 240 + d + h, plan);
    plan.content_bottom = place_status_and_buttons(plan, y, facts.status_height, labels);
}

void plan_products(const LayoutFacts& facts, LayoutPlan& plan)
{
    const int s = facts.status_height;
    plan.back_button = {};
    plan.title_rect = {content_left, 88, content_right, 120};
    plan.status_rect = {content_left, 124, content_right, 124 + s};
    plan.status_label = place(content_left, 124, content_width, s);
    const int y = 124 + s;

    int r1 = 0;
    int r2 = 0;
    int r3 = 0;
    const bool no_products = !facts.catalog_loaded || facts.product_count == 0;
    if (no_products && facts.self_update_offered) {
        plan.list_rect = {};
        plan.product_list = {};
        r1 = y + 12;
        r2 = y + 18;
        r3 = y + 30;
    } else {
        const int h = std::clamp(facts.product_count, 1, 6) * product_row_height;
        plan.list_rect = {content_left, y + 12, content_right, y + h + 24};
        plan.product_list = place(list_left, y + 18, list_width, h, facts.product_count > 0);
        r1 = y + h + 48;
        r2 = y + h + 54;
        r3 = y + h + 66;
    }

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

    int button_row = r1;
    if (facts.self_update_offered) {
        plan.progress_rect = {content_left, r1, content_right, r2};
        button_row = r3;
    }
    plan.close_button = place_from_right(540, button_row, 108, facts.labels.close);
    if (facts.self_update_offered)
        plan.install_button = place_from_right(plan.close_button.x, r3, 208, facts.labels.get_new_installer);
    plan.content_bottom = button_row + 60;
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
        const int top = area.top + (area.height() - px(88)) / 2;
        const int code_width = px(196);
        const int code_left = cx - code_width / 2;
        controls.code_rect = {code_left, top, code_left + code_width, top + px(36)};
        const int reopen = px(fit(224, labels.reopen_browser));
        const int cancel = px(fit(92, labels.cancel_sign_in));
        const int pair_left = cx - (reopen + cancel) / 2;
        controls.reopen_browser_button = {pair_left, top + px(44), reopen, px(44), true};
        controls.cancel_sign_in_button = {pair_left + reopen, top + px(44), cancel, px(44), true};
    } else {
        const int top = area.top + (area.height() - px(44)) / 2;
        const int sign_in = px(fit(228, labels.sign_in));
        controls.sign_in_button = {cx - sign_in / 2, top, sign_in, px(44), true};
    }
    return controls;
}

}  // namespace tw::app::ui
