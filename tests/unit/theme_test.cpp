#include "app/ui/theme.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace tw::app::ui;

constexpr Colour colours[] = {window_background, caption_colour, card_background, list_background, hover_fill,
                              border_colour, text_colour, text_bright, text_muted, text_disabled, fill_disabled,
                              accent, accent_hover, focus_ring, gold, status_warning, status_success,
                              selected_row_tint, card_outline, rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 255),
                              rgb(0, 0, 0), rgb(255, 255, 255)};
constexpr unsigned (*channels[])(Colour) = {red_of, green_of, blue_of};

// Each channel of a blend is the nearest whole value to that channel's own mix: nothing bleeds
// from a neighbouring channel, and a colour blended with itself stays that colour.
TEST(Blend, EachChannelIsTheRoundedMixOfThatChannelAlone)
{
    for (const Colour a : colours)
        for (const Colour b : colours)
            for (const unsigned alpha : {0u, 1u, 31u, 127u, 128u, 254u, 255u}) {
                const Colour mixed = blend(a, b, alpha);
                EXPECT_TRUE(mixed >> 24 == 0 && (a != b || mixed == a)) << a << ' ' << b << ' ' << alpha;
                for (const auto channel : channels) {
                    const int exact = int(channel(a) * alpha + channel(b) * (255 - alpha));
                    EXPECT_LE(std::abs(int(channel(mixed)) * 255 - exact), 127) << a << ' ' << b << ' ' << alpha;
                }
            }
}

// The selected row is a faint accent over the list: visibly lighter, yet nearer the list than
// the accent. The card outline sits halfway between the border and the card.
TEST(Blend, SelectedRowTintIsFaintAndCardOutlineHalfway)
{
    for (const auto channel : channels) {
        const int tint = int(channel(selected_row_tint)) - int(channel(list_background));
        EXPECT_TRUE(tint > 0 && 2 * tint < int(channel(accent)) - int(channel(list_background)));
        EXPECT_NEAR(2 * int(channel(card_outline)), int(channel(border_colour) + channel(card_background)), 1);
    }
}

TEST(Blend, FullAlphaGivesTheFirstColourAndZeroTheSecond)
{
    EXPECT_EQ(blend(accent, list_background, 255), accent);
    EXPECT_EQ(blend(accent, list_background, 0), list_background);
    EXPECT_EQ(blend(rgb(255, 255, 255), rgb(0, 0, 0), 255), rgb(255, 255, 255));
    EXPECT_EQ(blend(rgb(0, 0, 0), rgb(255, 255, 255), 0), rgb(255, 255, 255));
}

TEST(Palette, ColoursUseTheGdiByteOrder)
{
    // COLORREF keeps red in the lowest byte and the top byte zero.
    EXPECT_EQ(rgb(0x14, 0x10, 0x19), 0x00191014u);
    for (const Colour c : colours)
        EXPECT_EQ(rgb(red_of(c), green_of(c), blue_of(c)), c);
}

TEST(Scale, RoundsHalfAwayFromZeroLikeMulDiv)
{
    EXPECT_EQ(scale_to_dpi(15, 144), 23);   // 22.5
    EXPECT_EQ(scale_to_dpi(48, 144), 72);
    EXPECT_EQ(scale_to_dpi(1, 120), 1);     // 1.25
    EXPECT_EQ(scale_to_dpi(3, 120), 4);     // 3.75
    EXPECT_EQ(scale_to_dpi(64, 192), 128);
    EXPECT_EQ(scale_to_dpi(560, 96), 560);
    EXPECT_EQ(scale_to_dpi(-15, 144), -23);
}

}  // namespace
