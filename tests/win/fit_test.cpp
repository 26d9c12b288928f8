// Every text fits its place in every language at 96 and 144 DPI, measured in the window's own
// fonts (those build_fonts makes for the language): buttons hold their labels and stay inside
// the window and apart, sentences wrap within their line without a clipped word, and one-line
// texts fit their line.

#include "app/translation.h"
#include "app/ui/draw_primitives_win.h"
#include "app/ui/fonts_win.h"
#include "app/ui/layout.h"
#include "app/ui/render_win.h"
#include "app/ui/window_view_win.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace tw::app;
using namespace tw::app::ui;

const std::set<std::string_view> button_labels = {"all_products", "official", "beta", "sign_in",
                                                  "open_browser_again", "cancel", "close", "install",
                                                  "get_new_installer"};
// Drawn on one line: the header, the product list's title, the version row's badge and suffix,
// the title bar and the units of a size.
const std::set<std::string_view> one_line = {"window_title", "brand_suffix", "products_title", "latest_badge",
                                             "latest_suffix", "size_megabytes", "size_kilobytes"};
// The note above the sign-in buttons, which wraps and grows the sign-in area as the window
// measures it.
const std::set<std::string_view> beta_notes = {"beta_sign_in_needed", "approve_in_browser", "approve_on_site"};

// The longest values a sentence gets in the field.
std::wstring filled(std::wstring_view text)
{
    const std::map<std::wstring, std::wstring> values = {
        {L"{host}", L"www.tarnwick.example"}, {L"{label}", L"Studio 12.10.3"}, {L"{volume}", L"C:\\"},
        {L"{size}", L"1024,5 MB"},                   {L"{code}", L"4294967294"}};
    std::wstring out(text);
    for (const auto& [name, value] : values) {
        for (auto at = out.find(name); at != std::wstring::npos; at = out.find(name))
            out.replace(at, name.size(), value);
    }
    return out;
}

// Units the text takes on one line, or, wrapped at `limit` units, the widest line.
int width_units(HDC dc, const std::wstring& text, HFONT font, int dpi, int limit = 0)
{
    const SelectionScope selected(dc, font);
    RECT r{0, 0, limit ? MulDiv(limit, dpi, 96) : 0, 0};
    const UINT wrap = limit ? DT_WORDBREAK : DT_SINGLELINE;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_NOPREFIX | wrap | reading_order());
    return MulDiv(r.right - r.left, 96, dpi);
}

struct Screen {
    const char* name;
    LayoutFacts facts;
};

std::vector<Screen> screens(const LabelWidths& labels)
{
    LayoutFacts products;
    products.product_count = 3;
    products.catalog_loaded = true;
    LayoutFacts offer = products;
    offer.product_count = 0;
    offer.self_update_offered = true;
    LayoutFacts versions = products;
    versions.screen = tw::app::Screen::versions;
    versions.official_builds = 3;
    versions.beta_builds = 2;
    versions.beta_available = true;
    versions.betas_need_sign_in = true;
    versions.channel = Channel::beta;
    versions.shown_build_count = 2;
    versions.beta_gate = BetaGate::sign_in_needed;
    LayoutFacts waiting = versions;
    waiting.beta_gate = BetaGate::waiting;
    std::vector<Screen> all = {{"products", products}, {"offer", offer}, {"versions", versions}, {"waiting", waiting}};
    for (Screen& s : all)
        s.facts.labels = labels;
    return all;
}

void expect_buttons_fit(const LayoutPlan& plan, const LabelWidths& w, bool offer, const std::string& where)
{
    const std::vector<std::pair<const Placement*, int>> buttons = {
        {&plan.back_button, w.back},
        {&plan.official_button, w.official},
        {&plan.beta_button, w.beta},
        {&plan.sign_in_button, w.sign_in},
        {&plan.reopen_browser_button, w.reopen_browser},
        {&plan.cancel_sign_in_button, w.cancel_sign_in},
        {&plan.install_button, offer ? w.get_new_installer : w.install},
        {&plan.close_button, w.close},
    };
    std::vector<const Placement*> shown;
    for (const auto& [button, label] : buttons) {
        if (!button->shown)
            continue;
        EXPECT_GE(button->width, label) << where << ": a label is wider than its button at x " << button->x;
        EXPECT_GE(button->x, 0) << where;
        EXPECT_LE(button->x + button->width, client_width_units) << where << ": a button leaves the window";
        for (const Placement* other : shown) {
            const bool apart = button->x >= other->x + other->width || other->x >= button->x + button->width ||
                               button->y >= other->y + other->height || other->y >= button->y + button->height;
            EXPECT_TRUE(apart) << where << ": buttons at x " << other->x << " and " << button->x << " overlap";
        }
        shown.push_back(button);
    }
}

// The note as the window draws it: wrapped at its width, its measured lines held by its place on
// the waiting screen, above the buttons of the sign-in.
void expect_note_fits(HDC dc, const std::wstring& text, const WindowView& view, const std::string& what)
{
    EXPECT_LE(width_units(dc, text, view.resources.fonts.body, view.dpi, content_width_units), content_width_units)
        << what << " has a clipped word";
    Screen waiting = screens(view.label_widths).back();
    waiting.facts.beta_note_height = std::max(wrapped_height_units(dc, text, view.resources.fonts.body, view.dpi),
                                              beta_note_line_units);
    const LayoutPlan plan = plan_layout(waiting.facts);
    ASSERT_TRUE(plan.beta_note.shown) << what;
    EXPECT_GE(plan.beta_note.height, waiting.facts.beta_note_height) << what << " is clipped";
    EXPECT_LE(plan.beta_note.y + plan.beta_note.height, plan.reopen_browser_button.y) << what;
}

TEST(Fit, EveryTextFitsInEveryLanguageAtBothDpis)
{
    const tw::client::platform::WindowDc screen(nullptr);
    for (const Language& language : offered_languages()) {
        use_language(language);
        for (const int dpi : {96, 144}) {
            const std::string where = std::string(language.tag) + " at " + std::to_string(dpi);
            WindowView view;
            view.dpi = dpi;
            build_fonts(view);
            const Fonts& f = view.resources.fonts;
            for (const Screen& s : screens(view.label_widths)) {
                const LayoutPlan plan = plan_layout(s.facts);
                expect_buttons_fit(plan, view.label_widths, s.facts.self_update_offered, where + " " + s.name);
            }
            // The sign-in buttons inside an empty list: the panel is the list's width less its inset.
            const UnitRect panel{MulDiv(26, dpi, 96), 0, MulDiv(534, dpi, 96), MulDiv(120, dpi, 96)};
            const PromptControls pair = place_prompt_controls(panel, true, dpi, view.label_widths);
            EXPECT_GE(pair.reopen_browser_button.x, panel.left) << where;
            EXPECT_LE(pair.cancel_sign_in_button.x + pair.cancel_sign_in_button.width, panel.right) << where;

            const int header_left = 80;  // after the monogram
            const int brand = width_units(screen.get(), L"Tarnwick ", f.heading, dpi);
            for (std::size_t i = 0; i < text_count(); ++i) {
                const std::string_view id = text_id(i);
                const std::wstring text = filled(catalogue_text(language, i));
                const std::string what = where + " " + std::string(id);
                if (button_labels.contains(id) || id == "window_title" || id.starts_with("size_"))
                    continue;
                if (id == "brand_suffix")
                    EXPECT_LE(header_left + brand + width_units(screen.get(), text, f.heading, dpi), 536) << what;
                else if (id == "products_title")
                    EXPECT_LE(width_units(screen.get(), text, f.title, dpi), 512) << what;
                else if (id == "latest_badge" || id == "latest_suffix")
                    EXPECT_LE(width_units(screen.get(), text, f.badge, dpi), 120) << what;
                else if (one_line.contains(id))
                    EXPECT_LE(width_units(screen.get(), text, f.body, dpi), 512) << what;
                else if (beta_notes.contains(id))
                    expect_note_fits(screen.get(), text, view, what);
                else
                    EXPECT_LE(width_units(screen.get(), text, f.body, dpi, 512), 512) << what << " has a clipped word";
            }
        }
    }
    use_language(english());
}

}  // namespace
