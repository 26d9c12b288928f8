#include "app/ui/palette.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace tw::app::ui;

constexpr SystemColours scheme{rgb(1, 0, 0), rgb(2, 0, 0), rgb(3, 0, 0), rgb(4, 0, 0),
                               rgb(5, 0, 0), rgb(6, 0, 0), rgb(7, 0, 0), rgb(8, 0, 0)};

struct Role {
    const char* name;
    std::optional<Colour> (*of)(const Palette&);
    Colour SystemColours::*expected;
};

// Every role a painter reads, with the system colour high contrast must give it. Colours are
// distinct, so a role wired to the wrong system colour fails.
#define ROLE(role, system) {#role, [](const Palette& p) -> std::optional<Colour> { return p.role; }, &SystemColours::system}
const Role roles[] = {
    ROLE(window, window), ROLE(list, window), ROLE(caption, window), ROLE(card, window), ROLE(text, window_text),
    ROLE(text_muted, window_text), ROLE(list_outline, window_text), ROLE(status_attention, window_text),
    ROLE(status_success, window_text), ROLE(focus, highlight), ROLE(progress_fill, highlight),
    ROLE(progress_track, window), ROLE(progress_outline, window_text), ROLE(ornament, hot_light),
    ROLE(row.fill, window), ROLE(row.detail, window_text), ROLE(row.badge_outline, window_text),
    ROLE(selected_row.fill, highlight), ROLE(selected_row.text, highlight_text),
    ROLE(selected_row.detail, highlight_text), ROLE(selected_row.badge_outline, highlight_text),
    ROLE(segment.hover_fill, highlight), ROLE(secondary.face, button_face), ROLE(secondary.text, button_text),
    ROLE(primary.face, button_face), ROLE(primary.text, button_text), ROLE(quiet.outline, button_text),
    ROLE(secondary_lit.face, highlight), ROLE(primary_lit.text, highlight_text), ROLE(disabled.text, gray_text),
    ROLE(disabled.outline, gray_text),
};
#undef ROLE

TEST(Palette, InHighContrastEveryRoleIsItsSystemColour)
{
    const Palette palette = palette_for({true, scheme});
    EXPECT_TRUE(palette.high_contrast);
    for (const Role& role : roles)
        EXPECT_EQ(role.of(palette), scheme.*role.expected) << role.name;
}

// Off, the system's colours change nothing: the window keeps its own dark look.
TEST(Palette, WithTheModeOffItIsTheDarkLook)
{
    const Palette palette = palette_for({false, scheme});
    EXPECT_EQ(palette, dark_palette());
}

}  // namespace
