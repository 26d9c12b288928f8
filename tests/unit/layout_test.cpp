#include "app/ui/layout.h"

#include "app/ui/theme.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

using namespace tw::app::ui;
using tw::app::BetaGate;
using tw::app::Channel;
using tw::app::Screen;

LayoutFacts version_screen(int products, int official, int beta)
{
    LayoutFacts facts;
    facts.screen = Screen::versions;
    facts.catalog_loaded = true;
    facts.product_count = products;
    facts.official_builds = official;
    facts.beta_builds = beta;
    facts.beta_available = beta > 0;
    facts.shown_build_count = official;
    return facts;
}

LayoutFacts product_screen(int products)
{
    LayoutFacts facts;
    facts.catalog_loaded = true;
    facts.product_count = products;
    return facts;
}

// Every screen the window can show: catalogs of several sizes with and without a self-update
// offer, products with every mix of builds, sign-in need, channel and sign-in state; each with
// a one-line and a three-line status, and a beta note of one line and of two.
std::vector<LayoutFacts> every_screen()
{
    std::vector<LayoutFacts> all;
    for (const int products : {0, 1, 2, 6, 10})
        for (const bool offer : {false, true}) {
            all.push_back(product_screen(products));
            all.back().self_update_offered = offer;
        }
    constexpr BetaGate gates[] = {BetaGate::none, BetaGate::sign_in_needed, BetaGate::waiting, BetaGate::signed_in};
    for (const int products : {1, 3})
        for (const auto& [official, beta] : {std::pair{0, 0}, {2, 0}, {4, 1}, {1, 8}})
            for (const bool sign_in : {false, true})
                for (const Channel channel : {Channel::official, Channel::beta})
                    for (const BetaGate gate : gates) {
                        LayoutFacts& facts = all.emplace_back(version_screen(products, official, beta));
                        facts.betas_need_sign_in = sign_in;
                        facts.beta_available = beta > 0 || sign_in;
                        facts.channel = channel;
                        facts.beta_gate = gate;
                        facts.shown_build_count = channel == Channel::beta ? beta : official;
                    }
    const std::size_t one_line = all.size();
    all.reserve(4 * one_line);
    for (std::size_t i = 0; i < one_line; ++i)
        all.emplace_back(all[i]).status_height = 4 + 3 * 20;
    for (std::size_t i = 0; i < 2 * one_line; ++i)
        all.emplace_back(all[i]).beta_note_height = 2 * 20;
    return all;
}

::testing::Message describe(const LayoutFacts& f)
{
    return ::testing::Message() << "screen " << int(f.screen) << ", products " << f.product_count << ", offer "
                                << f.self_update_offered << ", builds " << f.official_builds << '/' << f.beta_builds
                                << ", sign-in " << f.betas_need_sign_in << ", channel " << int(f.channel) << ", gate "
                                << int(f.beta_gate) << ", status " << f.status_height << ", note " << f.beta_note_height;
}

std::array<const Placement*, 12> controls(const LayoutPlan& p)
{
    return {&p.back_button,    &p.status_label,   &p.product_list,          &p.official_button,
            &p.beta_button,    &p.version_list,   &p.beta_note,             &p.sign_in_button,
            &p.reopen_browser_button, &p.cancel_sign_in_button, &p.install_button, &p.close_button};
}

UnitRect box(const Placement& c) { return c.shown ? UnitRect{c.x, c.y, c.x + c.width, c.y + c.height} : UnitRect{}; }
UnitRect shifted(const UnitRect& r, int dy)
{
    return r.empty() ? r : UnitRect{r.left, r.top + dy, r.right, r.bottom + dy};
}
bool overlap(const UnitRect& a, const UnitRect& b)
{
    return !a.empty() && !b.empty() && a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The controls (back button first), then the painted areas; anything hidden is an empty box.
std::vector<UnitRect> boxes(const LayoutPlan& p)
{
    std::vector<UnitRect> all;
    for (const Placement* c : controls(p))
        all.push_back(box(*c));
    for (const UnitRect& r : {p.title_rect, p.divider_rect, p.list_rect, p.code_rect, p.status_rect, p.progress_rect})
        all.push_back(r);
    return all;
}

// Everything shown must stay inside the client width and above the content bottom.
void expect_inside_client(const LayoutPlan& plan)
{
    for (const UnitRect& r : boxes(plan)) {
        if (r.empty())
            continue;
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, client_width_units);
        EXPECT_LE(r.bottom, plan.content_bottom);
    }
}

// --- Every screen ------------------------------------------------------------------------------

// Every shown control stays inside the client and clear of every other; the window ends one
// margin under Close, which never moves sideways between screens.
TEST(LayoutTable, ShownControlsStayInsideTheClientAndNeverOverlap)
{
    const LayoutPlan first = plan_layout(product_screen(1));
    for (const LayoutFacts& facts : every_screen()) {
        SCOPED_TRACE(describe(facts));
        const LayoutPlan plan = plan_layout(facts);
        expect_inside_client(plan);
        EXPECT_TRUE(!plan.beta_note.shown || plan.beta_note.height >= facts.beta_note_height);
        EXPECT_EQ(plan.close_button.x, first.close_button.x);
        const auto margin = [](const LayoutPlan& p) { return p.content_bottom - box(p.close_button).bottom; };
        EXPECT_EQ(margin(plan), margin(first));
        const auto placed = controls(plan);
        for (std::size_t i = 0; i < placed.size(); ++i)
            for (std::size_t j = i + 1; j < placed.size(); ++j) {
                EXPECT_FALSE(overlap(box(*placed[i]), box(*placed[j]))) << "controls " << i << " and " << j;
            }
    }
}

// Read top to bottom, each shown item starts at or below the end of the one before, and a list
// keeps one padding inside its frame on both screens.
TEST(LayoutTable, ItemsStackInReadingOrder)
{
    const auto padding = [](const UnitRect& frame, const Placement& list) {
        return UnitRect{list.x - frame.left, list.y - frame.top, frame.right - list.x - list.width,
                        frame.bottom - list.y - list.height};
    };
    const LayoutPlan first = plan_layout(product_screen(1));
    for (const LayoutFacts& facts : every_screen()) {
        SCOPED_TRACE(describe(facts));
        const LayoutPlan p = plan_layout(facts);
        const bool versions = facts.screen == Screen::versions;
        const auto order = versions
            ? std::vector{box(p.back_button), p.title_rect, box(p.official_button), p.divider_rect, p.list_rect,
                          box(p.beta_note), box(p.sign_in_button), box(p.reopen_browser_button), p.status_rect,
                          p.progress_rect, box(p.close_button)}
            : std::vector{p.title_rect, p.status_rect, p.list_rect, p.progress_rect, box(p.close_button)};
        int bottom = 0;
        for (const UnitRect& r : order) {
            EXPECT_GE(r.empty() ? bottom : r.top, bottom);
            bottom = r.empty() ? bottom : r.bottom;
        }
        const Placement& list = versions ? p.version_list : p.product_list;
        EXPECT_TRUE(!list.shown || padding(p.list_rect, list) == padding(first.list_rect, first.product_list));
        EXPECT_TRUE(!p.install_button.shown || p.install_button.y == p.close_button.y);  // one row
    }
}

// The window's height and every control's place depend only on the product: neither the
// channel nor the sign-in state moves anything, so switching never makes the window jump.
TEST(LayoutTable, ChannelAndSignInStateMoveNothing)
{
    for (const LayoutFacts& facts : every_screen()) {
        if (facts.screen != Screen::versions)
            continue;
        SCOPED_TRACE(describe(facts));
        LayoutFacts official = facts;
        official.channel = Channel::official;
        official.beta_gate = BetaGate::none;
        official.shown_build_count = official.official_builds;
        EXPECT_EQ(plan_layout(official).content_bottom, plan_layout(facts).content_bottom);
        const auto before = boxes(plan_layout(official));
        const auto after = boxes(plan_layout(facts));
        for (std::size_t i = 0; i < before.size(); ++i)
            EXPECT_TRUE(before[i].empty() || after[i].empty() || before[i] == after[i]) << "item " << i;
    }
}

TEST(LayoutTable, StatusHeightPushesExactlyWhatIsBelowItDown)
{
    for (LayoutFacts facts : every_screen()) {
        SCOPED_TRACE(describe(facts));
        const LayoutPlan plain = plan_layout(facts);
        facts.status_height += 40;
        const LayoutPlan taller = plan_layout(facts);
        EXPECT_EQ(taller.status_rect.height(), facts.status_height);
        EXPECT_EQ(box(taller.status_label), taller.status_rect);
        EXPECT_EQ(taller.content_bottom - plain.content_bottom, 40);
        const auto before = boxes(plain);
        const auto after = boxes(taller);
        for (std::size_t i = 0; i < before.size(); ++i) {
            if (before[i].top == plain.status_rect.top)
                continue;  // the status itself, which grows
            EXPECT_EQ(after[i], shifted(before[i], before[i].top >= plain.status_rect.bottom ? 40 : 0)) << "item " << i;
        }
    }
}

// --- Version screen ----------------------------------------------------------------------------

TEST(VersionLayout, OneProductHasNoBackButtonAndEverythingMovesUpByItsRow)
{
    const LayoutPlan several = plan_layout(version_screen(3, 2, 0));
    const LayoutPlan single = plan_layout(version_screen(1, 2, 0));
    EXPECT_TRUE(several.back_button.shown);
    EXPECT_FALSE(single.back_button.shown);
    // Without the back button's row the title sits where the product screen has it.
    EXPECT_EQ(single.title_rect, plan_layout(product_screen(3)).title_rect);
    const int row = several.title_rect.top - single.title_rect.top;
    EXPECT_GT(row, 0);

    for (LayoutFacts facts : every_screen()) {
        if (facts.screen != Screen::versions || facts.product_count == 1)
            continue;
        SCOPED_TRACE(describe(facts));
        const LayoutPlan with_back = plan_layout(facts);
        facts.product_count = 1;
        const LayoutPlan without = plan_layout(facts);
        EXPECT_EQ(with_back.content_bottom - without.content_bottom, row);
        const auto before = boxes(without);
        const auto after = boxes(with_back);
        for (std::size_t i = 1; i < before.size(); ++i)  // all but the back button
            EXPECT_EQ(after[i], shifted(before[i], row)) << "item " << i;
    }
}

TEST(VersionLayout, ChannelButtonsSitSideBySide)
{
    const LayoutPlan plan = plan_layout(version_screen(1, 2, 1));
    EXPECT_TRUE(plan.beta_button.shown && plan.beta_button.y == plan.official_button.y);
    EXPECT_GE(plan.beta_button.x, plan.official_button.x + plan.official_button.width);
    EXPECT_FALSE(plan.product_list.shown);

    const LayoutPlan no_beta = plan_layout(version_screen(1, 2, 0));
    EXPECT_FALSE(no_beta.beta_button.shown);
    EXPECT_TRUE(no_beta.official_button.shown);
}

// The larger channel decides, between three and five rows; betas that need a sign-in but have
// no build yet keep five rows for the prompt.
TEST(VersionLayout, ListRowsFollowTheLargerChannelBetweenThreeAndFive)
{
    struct Case { int official, beta; bool betas_need_sign_in; int rows; };
    const Case cases[] = {{0, 0, false, 3}, {2, 0, false, 3}, {4, 0, false, 4}, {1, 4, false, 4},
                          {8, 1, false, 5}, {1, 8, false, 5}, {1, 0, true, 5},  {1, 1, true, 3}};
    const auto height = [](const LayoutFacts& facts) { return plan_layout(facts).version_list.height; };
    const int row = height(version_screen(1, 4, 0)) - height(version_screen(1, 3, 0));
    for (const Case& c : cases) {
        LayoutFacts facts = version_screen(1, c.official, c.beta);
        facts.betas_need_sign_in = c.betas_need_sign_in;
        EXPECT_EQ(height(facts), c.rows * row) << c.official << '/' << c.beta;
    }
}

TEST(VersionLayout, EmptyChannelHidesTheListButKeepsItsFrame)
{
    const LayoutPlan plan = plan_layout(version_screen(1, 0, 0));
    EXPECT_FALSE(plan.version_list.shown);
    EXPECT_EQ(plan.list_rect, plan_layout(version_screen(1, 2, 0)).list_rect);
    EXPECT_FALSE(plan.prompt_in_list);
}

TEST(VersionLayout, SignInRowUnderTheListWhenBetaBuildsExist)
{
    LayoutFacts facts = version_screen(2, 2, 1);
    facts.betas_need_sign_in = true;
    facts.channel = Channel::beta;
    facts.shown_build_count = 1;

    facts.beta_gate = BetaGate::sign_in_needed;
    const LayoutPlan needed = plan_layout(facts);
    EXPECT_FALSE(needed.prompt_in_list);
    EXPECT_TRUE(needed.beta_note.shown && needed.sign_in_button.shown);
    EXPECT_FALSE(needed.reopen_browser_button.shown);
    EXPECT_FALSE(needed.cancel_sign_in_button.shown);

    facts.beta_gate = BetaGate::waiting;
    const LayoutPlan waiting = plan_layout(facts);
    EXPECT_FALSE(waiting.sign_in_button.shown);
    // The code and the two buttons take the sign-in button's row, the code at its left.
    const UnitRect row = box(needed.sign_in_button);
    EXPECT_EQ(box(waiting.reopen_browser_button).top, row.top);
    EXPECT_EQ(box(waiting.cancel_sign_in_button).bottom, row.bottom);
    EXPECT_FALSE(waiting.code_rect.empty());
    EXPECT_TRUE(waiting.code_rect.top >= row.top && waiting.code_rect.bottom <= row.bottom);
    EXPECT_LE(waiting.code_rect.right, waiting.reopen_browser_button.x);
    expect_inside_client(waiting);
}

TEST(VersionLayout, SignInAreaStaysReservedWhenNothingIsShownInIt)
{
    LayoutFacts facts = version_screen(1, 2, 1);
    facts.betas_need_sign_in = true;
    const LayoutPlan official = plan_layout(facts);
    facts.channel = Channel::beta;
    facts.beta_gate = BetaGate::signed_in;
    facts.shown_build_count = 1;
    const LayoutPlan signed_in = plan_layout(facts);
    facts.beta_gate = BetaGate::sign_in_needed;
    const int row_shown = plan_layout(facts).status_rect.top;

    for (const LayoutPlan* plan : {&official, &signed_in}) {
        EXPECT_FALSE(plan->beta_note.shown);
        EXPECT_FALSE(plan->sign_in_button.shown);
        EXPECT_TRUE(plan->code_rect.empty());
        EXPECT_EQ(plan->status_rect.top, row_shown);
    }
    // A product without sign-in has no such row.
    EXPECT_LT(plan_layout(version_screen(1, 2, 1)).status_rect.top, row_shown);
}

// --- Product screen ----------------------------------------------------------------------------

TEST(ProductLayout, ListGrowsWithProductsUpToSixRows)
{
    const auto height = [](int products) { return plan_layout(product_screen(products)).product_list.height; };
    for (const auto& [products, rows] : {std::pair{1, 1}, {5, 5}, {6, 6}, {10, 6}})
        EXPECT_EQ(height(products), rows * (height(2) - height(1))) << products;
}

TEST(ProductLayout, OnlyTheProductControlsAreShown)
{
    const LayoutPlan plan = plan_layout(product_screen(3));
    EXPECT_FALSE(plan.title_rect.empty());
    EXPECT_TRUE(plan.status_label.shown);
    EXPECT_TRUE(plan.product_list.shown);
    EXPECT_TRUE(plan.close_button.shown);
    for (const Placement* hidden : {&plan.back_button, &plan.official_button, &plan.beta_button,
                                    &plan.version_list, &plan.beta_note, &plan.sign_in_button,
                                    &plan.reopen_browser_button, &plan.cancel_sign_in_button,
                                    &plan.install_button})
        EXPECT_FALSE(hidden->shown);
    EXPECT_TRUE(plan.divider_rect.empty());
    EXPECT_TRUE(plan.code_rect.empty());
    EXPECT_TRUE(plan.progress_rect.empty());
}

TEST(ProductLayout, WithoutProductsTheFrameShowsOneEmptyRow)
{
    LayoutFacts facts;  // still loading
    const LayoutPlan loading = plan_layout(facts);
    EXPECT_FALSE(loading.product_list.shown);
    EXPECT_EQ(loading.list_rect, plan_layout(product_screen(1)).list_rect);
    EXPECT_EQ(loading.close_button.y, plan_layout(product_screen(1)).close_button.y);
}

TEST(ProductLayout, SelfUpdateOfferReplacesTheListWithProgressAndTheInstallButton)
{
    LayoutFacts facts = product_screen(0);
    facts.self_update_offered = true;
    const LayoutPlan plan = plan_layout(facts);
    EXPECT_TRUE(plan.list_rect.empty());
    EXPECT_FALSE(plan.product_list.shown);
    EXPECT_EQ(plan.progress_rect.top, plan_layout(product_screen(0)).list_rect.top);
    EXPECT_TRUE(plan.install_button.shown && plan.close_button.shown);
    expect_inside_client(plan);
}

// --- Conversion to pixels -------------------------------------------------------------------------

TEST(LayoutPixels, EveryControlIsMulDivOfItsUnitsAtEveryDpi)
{
    for (const LayoutFacts& facts : every_screen()) {
        const LayoutPlan plan = plan_layout(facts);
        for (const int dpi : {96, 120, 144, 168, 192})
            for (const Placement* c : controls(plan)) {
                const auto px = [dpi](int units) { return scale_to_dpi(units, dpi); };
                EXPECT_EQ(to_pixels(*c, dpi), (Placement{px(c->x), px(c->y), px(c->width), px(c->height), c->shown}))
                    << describe(facts) << ", dpi " << dpi;
            }
    }
}

TEST(LayoutPixels, WidthIsConvertedByItselfNotFromTheEdges)
{
    // At 120 DPI 15 units round up and 33 units round down: converting both edges would make
    // an 18-unit control 22 pixels wide instead of 23.
    const Placement converted = to_pixels(Placement{15, 0, 18, 10, true}, 120);
    EXPECT_EQ(converted.x, 19);
    EXPECT_EQ(converted.width, 23);
    EXPECT_TRUE(converted.shown);
}

TEST(LayoutPixels, RectanglesConvertEachEdgeAndEmptyStaysEmpty)
{
    EXPECT_EQ(to_pixels(UnitRect{24, 88, 536, 120}, 192), (UnitRect{48, 176, 1072, 240}));
    EXPECT_TRUE(to_pixels(UnitRect{}, 144).empty());
}

// --- Prompt controls inside the list panel --------------------------------------------------------

// The shown prompt controls: the code, then the buttons from left to right.
std::vector<UnitRect> shown(const PromptControls& c)
{
    std::vector all{c.code_rect, box(c.sign_in_button), box(c.reopen_browser_button), box(c.cancel_sign_in_button)};
    std::erase_if(all, [](const UnitRect& r) { return r.empty(); });
    return all;
}

// Betas that need a sign-in but have no build yet put the prompt inside the empty list, and no
// sign-in row is reserved: the status follows the list as for a product without sign-in. The
// room the plan keeps under the prompt's text holds the controls placed in it, centred and at
// their designed sizes, at every DPI and however much room the text leaves.
TEST(PromptControls, PromptInTheEmptyListFitsCentredInTheRoomThePlanKeeps)
{
    const LayoutPlan plain = plan_layout(version_screen(1, 2, 0));
    for (const bool waiting : {false, true}) {
        LayoutFacts facts = version_screen(1, 1, 0);
        facts.betas_need_sign_in = facts.beta_available = true;
        facts.channel = Channel::beta;
        facts.beta_gate = waiting ? BetaGate::waiting : BetaGate::sign_in_needed;
        facts.shown_build_count = 0;
        const LayoutPlan plan = plan_layout(facts);
        EXPECT_TRUE(plan.prompt_in_list);
        EXPECT_EQ(plan.prompt_waiting, waiting);
        // The prompt's controls are placed around the measured text, not in the sign-in row.
        EXPECT_FALSE(plan.beta_note.shown);
        EXPECT_FALSE(plan.sign_in_button.shown);
        EXPECT_TRUE(plan.code_rect.empty());
        EXPECT_EQ(plan.status_rect.top - plan.list_rect.bottom, plain.status_rect.top - plain.list_rect.bottom);

        for (const int dpi : {96, 120, 144, 168, 192})
            for (const int slack : {0, 31}) {
                SCOPED_TRACE(::testing::Message() << "waiting " << waiting << ", dpi " << dpi << ", slack " << slack);
                const UnitRect list = to_pixels(plan.list_rect, dpi);
                const UnitRect area{list.left, 300, list.right, 300 + scale_to_dpi(plan.prompt_extra, dpi) + slack};
                const PromptControls controls = place_prompt_controls(area, waiting, dpi);
                EXPECT_EQ(controls.sign_in_button.shown, !waiting);
                const auto placed = shown(controls);
                const auto designed = shown(place_prompt_controls(area, waiting, 96));
                ASSERT_EQ(placed.size(), waiting ? 3u : 1u);  // the code and two buttons, or one button
                UnitRect group = placed.front();
                for (std::size_t i = 0; i < placed.size(); ++i) {
                    EXPECT_EQ(placed[i].width(), scale_to_dpi(designed[i].width(), dpi));
                    EXPECT_EQ(placed[i].height(), scale_to_dpi(designed[i].height(), dpi));
                    EXPECT_TRUE(i == 0 || !overlap(placed[i - 1], placed[i]));
                    group = {std::min(group.left, placed[i].left), std::min(group.top, placed[i].top),
                             std::max(group.right, placed[i].right), std::max(group.bottom, placed[i].bottom)};
                }
                EXPECT_TRUE(group.top >= area.top && group.bottom <= area.bottom);
                EXPECT_NEAR(group.left - area.left, area.right - group.right, 1);
                EXPECT_NEAR(group.top - area.top, area.bottom - group.bottom, 1);
                EXPECT_NEAR(placed[0].left - area.left, area.right - placed[0].right, 1);  // the code too
                EXPECT_TRUE(!waiting || (placed[0].bottom <= placed[1].top && placed[1].top == placed[2].top));
            }
    }
}

}  // namespace
