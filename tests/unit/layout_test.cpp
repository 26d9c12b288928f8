#include "app/ui/layout.h"

#include <gtest/gtest.h>

namespace {

using tw::app::ui::LayoutFacts;
using tw::app::ui::LayoutPlan;
using tw::app::ui::Placement;
using tw::app::ui::UnitRect;
using tw::app::ui::place_prompt_controls;
using tw::app::ui::plan_layout;
using tw::app::ui::to_pixels;

LayoutFacts version_screen(int products, int official, int beta)
{
    LayoutFacts facts;
    facts.screen = tw::app::Screen::versions;
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

int list_height(const LayoutPlan& plan) { return plan.version_list.height; }

// Every shown control must stay inside the 560-unit client width and above the content bottom.
void expect_inside_client(const LayoutPlan& plan)
{
    const Placement* controls[] = {&plan.back_button,    &plan.status_label,          &plan.product_list,
                                   &plan.official_button, &plan.beta_button,           &plan.version_list,
                                   &plan.beta_note,       &plan.sign_in_button,        &plan.reopen_browser_button,
                                   &plan.cancel_sign_in_button, &plan.install_button,  &plan.close_button};
    for (const Placement* c : controls) {
        if (!c->shown)
            continue;
        EXPECT_GE(c->x, 0);
        EXPECT_LE(c->x + c->width, 560);
        EXPECT_LE(c->y + c->height, plan.content_bottom);
    }
}

// --- Version screen ----------------------------------------------------------------------------

TEST(VersionLayout, OneProductHasNoBackButtonAndStartsTwentyEightUnitsHigher)
{
    const LayoutPlan several = plan_layout(version_screen(3, 2, 0));
    const LayoutPlan single = plan_layout(version_screen(1, 2, 0));

    EXPECT_TRUE(several.back_button.shown);
    EXPECT_EQ(several.back_button, (Placement{14, 76, 120, 36, true}));
    EXPECT_FALSE(single.back_button.shown);

    EXPECT_EQ(several.title_rect, (UnitRect{24, 116, 536, 148}));
    EXPECT_EQ(single.title_rect, (UnitRect{24, 88, 536, 120}));
    EXPECT_EQ(several.official_button.y - single.official_button.y, 28);
    EXPECT_EQ(several.divider_rect.top - single.divider_rect.top, 28);
    EXPECT_EQ(several.list_rect.top - single.list_rect.top, 28);
    EXPECT_EQ(several.version_list.y - single.version_list.y, 28);
    EXPECT_EQ(several.close_button.y - single.close_button.y, 28);
    EXPECT_EQ(several.content_bottom - single.content_bottom, 28);
}

TEST(VersionLayout, ChannelRowsAndDividerSitUnderTheTitle)
{
    const LayoutPlan plan = plan_layout(version_screen(1, 2, 1));
    EXPECT_EQ(plan.official_button, (Placement{24, 132, 112, 40, true}));
    EXPECT_EQ(plan.beta_button, (Placement{140, 132, 96, 40, true}));
    EXPECT_EQ(plan.divider_rect, (UnitRect{24, 172, 536, 173}));
    EXPECT_FALSE(plan.product_list.shown);

    const LayoutPlan no_beta = plan_layout(version_screen(1, 2, 0));
    EXPECT_FALSE(no_beta.beta_button.shown);
    EXPECT_TRUE(no_beta.official_button.shown);
}

TEST(VersionLayout, ListHeightFollowsTheLargerChannelOnBothChannels)
{
    LayoutFacts facts = version_screen(1, 1, 8);
    const LayoutPlan official = plan_layout(facts);
    facts.channel = tw::app::Channel::beta;
    facts.shown_build_count = 8;
    const LayoutPlan beta = plan_layout(facts);

    EXPECT_EQ(list_height(official), 220);
    EXPECT_EQ(list_height(beta), 220);
    EXPECT_EQ(official.content_bottom, beta.content_bottom);
    EXPECT_EQ(official.list_rect, (UnitRect{24, 184, 536, 196 + 220}));
    EXPECT_EQ(official.version_list, (Placement{28, 190, 504, 220, true}));
}

TEST(VersionLayout, FewBuildsStillGetThreeRows)
{
    EXPECT_EQ(list_height(plan_layout(version_screen(1, 2, 0))), 132);
    EXPECT_EQ(list_height(plan_layout(version_screen(1, 0, 0))), 132);
    EXPECT_EQ(list_height(plan_layout(version_screen(1, 4, 0))), 176);
}

TEST(VersionLayout, EmptyChannelHidesTheListButKeepsItsFrame)
{
    const LayoutPlan plan = plan_layout(version_screen(1, 0, 0));
    EXPECT_FALSE(plan.version_list.shown);
    EXPECT_EQ(plan.list_rect.height(), 12 + 132);
    EXPECT_FALSE(plan.prompt_in_list);
}

TEST(VersionLayout, BetasNeedingSignInWithoutBetaBuildsKeepFiveRowsForThePrompt)
{
    LayoutFacts facts = version_screen(1, 1, 0);
    facts.betas_need_sign_in = true;
    facts.beta_available = true;
    EXPECT_EQ(list_height(plan_layout(facts)), 220);

    facts.channel = tw::app::Channel::beta;
    facts.beta_gate = tw::app::BetaGate::sign_in_needed;
    facts.shown_build_count = 0;
    const LayoutPlan prompt = plan_layout(facts);
    EXPECT_EQ(list_height(prompt), 220);
    EXPECT_TRUE(prompt.prompt_in_list);
    EXPECT_FALSE(prompt.prompt_waiting);
    EXPECT_EQ(prompt.prompt_extra, 44);
    // The prompt's controls are placed around the measured text, not in the sign-in row.
    EXPECT_FALSE(prompt.beta_note.shown);
    EXPECT_FALSE(prompt.sign_in_button.shown);
    EXPECT_TRUE(prompt.code_rect.empty());
    // No sign-in row is reserved: the status follows the list directly.
    EXPECT_EQ(prompt.status_rect.top, 212 + 220);
}

TEST(VersionLayout, WaitingPromptInTheListNeedsRoomForTheCodeAndButtons)
{
    LayoutFacts facts = version_screen(1, 0, 0);
    facts.betas_need_sign_in = true;
    facts.beta_available = true;
    facts.channel = tw::app::Channel::beta;
    facts.beta_gate = tw::app::BetaGate::waiting;
    const LayoutPlan plan = plan_layout(facts);
    EXPECT_TRUE(plan.prompt_in_list);
    EXPECT_TRUE(plan.prompt_waiting);
    EXPECT_EQ(plan.prompt_extra, 88);
}

TEST(VersionLayout, SignInRowUnderTheListWhenBetaBuildsExist)
{
    LayoutFacts facts = version_screen(2, 2, 1);
    facts.betas_need_sign_in = true;
    facts.channel = tw::app::Channel::beta;
    facts.shown_build_count = 1;

    facts.beta_gate = tw::app::BetaGate::sign_in_needed;
    const LayoutPlan needed = plan_layout(facts);
    const int h = 132;
    EXPECT_FALSE(needed.prompt_in_list);
    EXPECT_EQ(needed.beta_note, (Placement{24, 240 + h, 512, 22, true}));
    EXPECT_EQ(needed.sign_in_button, (Placement{20, 262 + h, 228, 44, true}));
    EXPECT_FALSE(needed.reopen_browser_button.shown);
    EXPECT_FALSE(needed.cancel_sign_in_button.shown);
    EXPECT_EQ(needed.code_rect, (UnitRect{24, 266 + h, 220, 302 + h}));
    EXPECT_EQ(needed.status_rect.top, 314 + h);

    facts.beta_gate = tw::app::BetaGate::waiting;
    const LayoutPlan waiting = plan_layout(facts);
    EXPECT_FALSE(waiting.sign_in_button.shown);
    EXPECT_EQ(waiting.reopen_browser_button, (Placement{228, 262 + h, 224, 44, true}));
    EXPECT_EQ(waiting.cancel_sign_in_button, (Placement{448, 262 + h, 92, 44, true}));
    expect_inside_client(waiting);
}

TEST(VersionLayout, SignInAreaStaysReservedWhenNothingIsShownInIt)
{
    LayoutFacts facts = version_screen(1, 2, 1);
    facts.betas_need_sign_in = true;
    const LayoutPlan official = plan_layout(facts);
    facts.channel = tw::app::Channel::beta;
    facts.beta_gate = tw::app::BetaGate::signed_in;
    facts.shown_build_count = 1;
    const LayoutPlan signed_in = plan_layout(facts);

    for (const LayoutPlan* plan : {&official, &signed_in}) {
        EXPECT_FALSE(plan->beta_note.shown);
        EXPECT_FALSE(plan->sign_in_button.shown);
        EXPECT_TRUE(plan->code_rect.empty());
        EXPECT_EQ(plan->status_rect.top, 286 + 132);
    }
    // A product without sign-in has no such row.
    EXPECT_EQ(plan_layout(version_screen(1, 2, 1)).status_rect.top, 212 + 132);
}

TEST(VersionLayout, StatusProgressAndButtonsFollowTheStatusHeight)
{
    LayoutFacts facts = version_screen(1, 2, 0);
    const LayoutPlan plan = plan_layout(facts);
    const int y = 212 + 132;
    EXPECT_EQ(plan.status_rect, (UnitRect{24, y, 536, y + 24}));
    EXPECT_EQ(plan.status_label, (Placement{24, y, 512, 24, true}));
    EXPECT_EQ(plan.progress_rect, (UnitRect{24, y + 30, 536, y + 36}));
    EXPECT_EQ(plan.install_button, (Placement{300, y + 48, 128, 44, true}));
    EXPECT_EQ(plan.close_button, (Placement{432, y + 48, 108, 44, true}));
    EXPECT_EQ(plan.content_bottom, y + 24 + 84);
    expect_inside_client(plan);

    facts.status_height = 4 + 3 * 20;  // a text that wraps to three lines
    const LayoutPlan taller = plan_layout(facts);
    EXPECT_EQ(taller.content_bottom - plan.content_bottom, 64 - 24);
    EXPECT_EQ(taller.close_button.y - plan.close_button.y, 64 - 24);
}

// --- Product screen ----------------------------------------------------------------------------

TEST(ProductLayout, ListGrowsWithProductsUpToSixRows)
{
    const LayoutPlan two = plan_layout(product_screen(2));
    EXPECT_EQ(two.product_list, (Placement{28, 148 + 18, 504, 96, true}));
    EXPECT_EQ(two.list_rect, (UnitRect{24, 148 + 12, 536, 148 + 96 + 24}));

    const LayoutPlan ten = plan_layout(product_screen(10));
    EXPECT_EQ(ten.product_list.height, 288);
    EXPECT_EQ(ten.close_button, (Placement{432, 148 + 288 + 48, 108, 44, true}));
    EXPECT_EQ(ten.content_bottom, 148 + 288 + 48 + 60);
    expect_inside_client(ten);
}

TEST(ProductLayout, OnlyTheProductControlsAreShown)
{
    const LayoutPlan plan = plan_layout(product_screen(3));
    EXPECT_EQ(plan.title_rect, (UnitRect{24, 88, 536, 120}));
    EXPECT_EQ(plan.status_label, (Placement{24, 124, 512, 24, true}));
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
    EXPECT_EQ(loading.list_rect, (UnitRect{24, 160, 536, 148 + 48 + 24}));
    EXPECT_EQ(loading.close_button.y, 148 + 48 + 48);
}

TEST(ProductLayout, EmptyStatusIsTwentyFourUnitsAndATallerOneMovesEverythingDown)
{
    LayoutFacts facts = product_screen(2);
    const LayoutPlan plain = plan_layout(facts);
    EXPECT_EQ(plain.status_rect.height(), 24);
    facts.status_height = 64;
    const LayoutPlan taller = plan_layout(facts);
    EXPECT_EQ(taller.status_rect.height(), 64);
    EXPECT_EQ(taller.list_rect.top - plain.list_rect.top, 40);
    EXPECT_EQ(taller.content_bottom - plain.content_bottom, 40);
}

TEST(ProductLayout, SelfUpdateOfferReplacesTheListWithProgressAndTheInstallButton)
{
    LayoutFacts facts = product_screen(0);
    facts.self_update_offered = true;
    const LayoutPlan plan = plan_layout(facts);
    EXPECT_TRUE(plan.list_rect.empty());
    EXPECT_FALSE(plan.product_list.shown);
    EXPECT_EQ(plan.progress_rect, (UnitRect{24, 160, 536, 166}));
    EXPECT_EQ(plan.install_button, (Placement{224, 178, 208, 44, true}));
    EXPECT_EQ(plan.close_button, (Placement{432, 178, 108, 44, true}));
    EXPECT_EQ(plan.content_bottom, 238);
    expect_inside_client(plan);
}

// --- Conversion to pixels -------------------------------------------------------------------------

TEST(LayoutPixels, CloseButtonAtOneHundredFiftyPercent)
{
    const Placement close = to_pixels(plan_layout(version_screen(2, 2, 0)).close_button, 144);
    EXPECT_EQ(close.x, 648);
    EXPECT_EQ(close.width, 162);
    EXPECT_EQ(close.height, 66);
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

TEST(PromptControls, WaitingCentresTheCodeAndTheButtonPair)
{
    const UnitRect area{100, 300, 490, 300 + 132};  // 144 DPI: 88 units are 132 pixels
    const auto controls = place_prompt_controls(area, true, 144);
    EXPECT_EQ(controls.code_rect, (UnitRect{295 - 147, 300, 295 - 147 + 294, 354}));
    EXPECT_EQ(controls.reopen_browser_button, (Placement{295 - 237, 366, 336, 66, true}));
    EXPECT_EQ(controls.cancel_sign_in_button, (Placement{295 - 237 + 336, 366, 138, 66, true}));
    EXPECT_FALSE(controls.sign_in_button.shown);
}

TEST(PromptControls, NeededCentresTheSignInButton)
{
    const UnitRect area{100, 300, 490, 344};
    const auto controls = place_prompt_controls(area, false, 96);
    EXPECT_EQ(controls.sign_in_button, (Placement{295 - 114, 300, 228, 44, true}));
    EXPECT_TRUE(controls.code_rect.empty());
    EXPECT_FALSE(controls.reopen_browser_button.shown);
    EXPECT_FALSE(controls.cancel_sign_in_button.shown);
}

}  // namespace
