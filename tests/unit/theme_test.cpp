#include "app/ui/theme.h"

#include <gtest/gtest.h>

namespace {

using namespace tw::app::ui;

TEST(Blend, SelectedRowTintAndCardOutline)
{
    EXPECT_EQ(blend(accent, list_background, 31), rgb(47, 37, 64));
    EXPECT_EQ(selected_row_tint, rgb(47, 37, 64));
    EXPECT_EQ(card_outline, rgb(66, 54, 81));
}

TEST(Blend, FullAlphaGivesTheFirstColourAndZeroTheSecond)
{
    EXPECT_EQ(blend(accent, list_background, 255), accent);
    EXPECT_EQ(blend(accent, list_background, 0), list_background);
    EXPECT_EQ(blend(rgb(255, 255, 255), rgb(0, 0, 0), 255), rgb(255, 255, 255));
    EXPECT_EQ(blend(rgb(0, 0, 0), rgb(255, 255, 255), 0), rgb(255, 255, 255));
}

TEST(Blend, ChannelsDoNotBleedIntoEachOther)
{
    EXPECT_EQ(blend(rgb(255, 0, 0), rgb(0, 0, 255), 128), rgb(128, 0, 127));
}

TEST(Palette, ColoursUseTheGdiByteOrder)
{
    // COLORREF keeps red in the lowest byte.
    EXPECT_EQ(window_background, 0x00191014u);
    EXPECT_EQ(red_of(gold), 212u);
    EXPECT_EQ(blue_of(gold), 55u);
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
