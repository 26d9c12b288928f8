#include "app/ui/render_win.h"

#include "app/controls.h"
#include "app/texts.h"
#include "app/translation.h"
#include "app/ui/draw_primitives_win.h"
#include "app/ui/model_layout.h"
#include "app/ui/progress_bar_win.h"
#include "app/ui/window_layout_win.h"
#include "client/text_win.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace tw::app::ui {
namespace {

using client::platform::widen;

std::vector<std::wstring> product_rows(const WindowModel& model)
{
    std::vector<std::wstring> rows;
    if (model.catalog) {
        for (const catalog::CatalogProduct& product : model.catalog->products)
            rows.push_back(widen(product.name));
    }
    return rows;
}

std::vector<std::wstring> version_rows(const WindowModel& model)
{
    std::vector<std::wstring> rows;
    if (const catalog::CatalogProduct* product = selected_product(model)) {
        for (const std::size_t index : model.shown_builds)
            rows.push_back(widen(product->builds[index].version) + (rows.empty() ? shown(text::latest_suffix) : L""));
    }
    return rows;
}

// Refills the list only when its rows changed: a refill loses the user's scroll position.
bool show_rows(HWND list, const std::vector<std::wstring>& rows, std::vector<std::wstring>& shown)
{
    if (rows == shown)
        return false;
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::wstring& row : rows)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    shown = rows;
    return true;
}

// `rendered` keeps the sentence, which is what the model holds.
void show_text(HWND control, const Sentence& text, Sentence& rendered)
{
    if (text == rendered)
        return;
    SetWindowTextW(control, shown(text).c_str());
    rendered = text;
}

// Units a label's sentence takes wrapped in the body font, `padding` added, never under `minimum`.
int measure_label_height(const WindowView& view, HWND label, const Sentence& text, int padding, int minimum)
{
    if (text.empty() || !label)
        return minimum;
    const client::platform::WindowDc dc(label);
    if (!dc)
        return minimum;
    return std::max(wrapped_height_units(dc.get(), shown(text), view.resources.fonts.body, view.dpi) + padding,
                    minimum);
}

int measure_status_height(const WindowView& view, const Sentence& text)
{
    return measure_label_height(view, view.controls.status_label, text, 4, 24);
}

// A host as long as the field allows wraps "Open {host}/installer/approve and enter this code:",
// which a one-line note clipped at its end, where the instruction is.
int measure_beta_note_height(const WindowView& view, const Sentence& text)
{
    return measure_label_height(view, view.controls.beta_note, text, 0, beta_note_line_units);
}

void show_beta_note(const WindowModel& model, WindowView& view)
{
    if (model.beta_note == view.rendered.beta_note)
        return;
    view.beta_note_height = measure_beta_note_height(view, model.beta_note);
    show_text(view.controls.beta_note, model.beta_note, view.rendered.beta_note);
}

void show_status(const WindowModel& model, WindowView& view)
{
    Rendered& rendered = view.rendered;
    if (model.status.text == rendered.status_text && model.status.kind == rendered.status_kind)
        return;
    HWND label = view.controls.status_label;
    const bool new_sentence = model.status.text != rendered.status_text;
    if (new_sentence)
        view.status_height = measure_status_height(view, model.status.text);
    SetWindowTextW(label, shown(model.status.text).c_str());
    InvalidateRect(label, nullptr, TRUE);
    // A colour change alone says nothing new, and a cleared line has nothing to say.
    if (new_sentence && !model.status.text.empty())
        LiveRegion::announce(label);
    rendered.status_text = model.status.text;
    rendered.status_kind = model.status.kind;
}

void enable_controls(const WindowModel& model, WindowView& view)
{
    const Controls& c = view.controls;
    const ControlStates states = plan_controls(
        {busy(model), model.signing_in, model.self_update_offered, highlighted_build(model) != nullptr});
    if (view.rendered.controls_known && states == view.rendered.controls)
        return;
    EnableWindow(c.install_button, states.install);
    for (HWND control : {c.product_list, c.version_list, c.back_button, c.official_button, c.beta_button})
        EnableWindow(control, states.choosing);
    EnableWindow(c.sign_in_button, states.sign_in);
    for (HWND control : {c.close_button, c.reopen_browser_button, c.cancel_sign_in_button})
        EnableWindow(control, TRUE);
    for (HWND button : {c.install_button, c.sign_in_button, c.close_button, c.back_button, c.official_button,
                        c.beta_button})
        InvalidateRect(button, nullptr, FALSE);
    view.rendered.controls = states;
    view.rendered.controls_known = true;
}

// Any change to what the painter shows repaints all, as a layout does.
PaintedFacts painted_facts(const WindowModel& model)
{
    return {beta_prompt_message(model), model.sign_in_code, model.selected_product, busy(model)};
}

void select_row(HWND list, int row)
{
    if (static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)) != row)
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
}

// The bar lives only while work runs, as the drawn one showed only then; a reader that lists the
// window's parts finds no idle progress bar.
void keep_progress_bar(const WindowModel& model, WindowView& view)
{
    HWND& bar = view.controls.progress_bar;
    if (busy(model) && !bar) {
        bar = create_progress_bar(view.window, id_progress_bar, view.palette);
        show_progress(bar, model.progress);
        view.rendered.progress = model.progress;
        view.rendered.laid_out = false;
    } else if (!busy(model) && bar) {
        DestroyWindow(std::exchange(bar, nullptr));
    }
}

}  // namespace

void render(const WindowModel& model, WindowView& view)
{
    const Controls& c = view.controls;
    Rendered& rendered = view.rendered;
    if (show_rows(c.product_list, product_rows(model), rendered.product_rows))
        SendMessageW(c.product_list, LB_SETCURSEL, 0, 0);
    show_rows(c.version_list, version_rows(model), rendered.version_rows);
    select_row(c.version_list, model.highlighted_build);
    show_beta_note(model, view);
    show_text(c.install_button, model.self_update_offered ? text::get_new_installer : text::install,
              rendered.install_label);
    show_status(model, view);
    keep_progress_bar(model, view);

    const LayoutFacts facts = layout_facts(model, view.status_height, view.label_widths, view.beta_note_height);
    const PaintedFacts painted = painted_facts(model);
    if (!rendered.laid_out || facts != rendered.facts || painted != rendered.painted) {
        rendered.facts = facts;
        rendered.painted = painted;
        rendered.laid_out = true;
        layout(model, view);
    }
    enable_controls(model, view);
    if (model.progress != rendered.progress) {
        rendered.progress = model.progress;
        show_progress(c.progress_bar, model.progress);
    }
}

void remeasure_status(const WindowModel& model, WindowView& view)
{
    view.status_height = measure_status_height(view, model.status.text);
    view.rendered.facts.status_height = view.status_height;
    view.beta_note_height = measure_beta_note_height(view, model.beta_note);
    view.rendered.facts.beta_note_height = view.beta_note_height;
}

int wrapped_height_units(HDC dc, std::wstring_view text, HFONT font, int dpi)
{
    const SelectionScope selected(dc, font);
    RECT bounds{0, 0, MulDiv(content_width_units, dpi, 96), 0};
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | reading_order());
    return MulDiv(bounds.bottom - bounds.top, 96, dpi);
}

}  // namespace tw::app::ui
