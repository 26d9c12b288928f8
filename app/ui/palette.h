#pragma once
// The colour roles the painters draw with, chosen once from how the system looks: the window's
// own dark look, or the user's high-contrast colours when that mode is on. Portable; the Win32
// reader that fills SystemLook is system_look_win.

#include "app/ui/theme.h"

#include <optional>

namespace tw::app::ui {

// The system colours a high-contrast theme sets, each as GetSysColor gives it.
struct SystemColours {
    Colour window = 0;          // COLOR_WINDOW
    Colour window_text = 0;     // COLOR_WINDOWTEXT
    Colour highlight = 0;       // COLOR_HIGHLIGHT
    Colour highlight_text = 0;  // COLOR_HIGHLIGHTTEXT
    Colour button_face = 0;     // COLOR_BTNFACE
    Colour button_text = 0;     // COLOR_BTNTEXT
    Colour gray_text = 0;       // COLOR_GRAYTEXT
    Colour hot_light = 0;       // COLOR_HOTLIGHT
    friend bool operator==(const SystemColours&, const SystemColours&) = default;
};

struct SystemLook {
    bool high_contrast = false;
    SystemColours colours;
};

// One button state. No face: the surface under the button shows; no outline: none is drawn.
struct ButtonLook {
    std::optional<Colour> face;
    std::optional<Colour> outline;
    Colour text = 0;
    friend bool operator==(const ButtonLook&, const ButtonLook&) = default;
};

// A list row, plain or selected; `fill` is the row's own background.
struct RowLook {
    Colour fill = 0;
    Colour text = 0;
    Colour detail = 0;  // the size of a build
    Colour marker = 0;  // the chevron, and the bar of a selected row
    Colour badge_fill = 0;
    Colour badge_text = 0;
    std::optional<Colour> badge_outline;
    friend bool operator==(const RowLook&, const RowLook&) = default;
};

// The Official/Beta segments.
struct SegmentLook {
    Colour text = 0;
    Colour selected_text = 0;
    Colour hover_fill = 0;
    Colour hover_text = 0;
    Colour bar = 0;  // under the selected segment
    friend bool operator==(const SegmentLook&, const SegmentLook&) = default;
};

struct Palette {
    bool high_contrast = false;  // also draws focus always and leaves out the glows
    Colour window = 0;
    Colour text = 0;
    Colour text_muted = 0;
    Colour caption = 0;
    Colour caption_divider = 0;
    Colour card = 0;
    Colour card_outline = 0;
    Colour list = 0;
    Colour list_outline = 0;  // and the divider under the channel segments
    Colour focus = 0;
    Colour ornament = 0;      // the prompt's badge and glow
    Colour monogram_first = 0;
    Colour monogram_second = 0;
    Colour progress_track = 0;
    Colour progress_fill = 0;
    std::optional<Colour> progress_outline;
    Colour status_information = 0;
    Colour status_attention = 0;
    Colour status_success = 0;
    RowLook row;
    RowLook selected_row;
    SegmentLook segment;
    ButtonLook primary;
    ButtonLook primary_lit;
    ButtonLook secondary;
    ButtonLook secondary_lit;
    ButtonLook quiet;
    ButtonLook quiet_lit;
    ButtonLook disabled;
    friend bool operator==(const Palette&, const Palette&) = default;
};

Palette dark_palette();
Palette high_contrast_palette(const SystemColours& colours);
Palette palette_for(const SystemLook& look);

}  // namespace tw::app::ui
