#pragma once
// Where every control and painted area goes, as plain arithmetic in 96-DPI units. The window
// side gathers the facts, converts the answer to pixels and applies it; nothing here needs
// Windows, so the placement is tested natively.

#include "app/ui_state.h"

namespace tw::app::ui {

// A painted area in units: left, top, right, bottom. All zero means "not in use".
struct UnitRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool empty() const { return right <= left || bottom <= top; }
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const UnitRect&, const UnitRect&) = default;
};

// A child control: position, size and whether it is visible.
struct Placement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool shown = false;
    friend bool operator==(const Placement&, const Placement&) = default;
};

// The width, in units, each button's label takes in the window's font and language, padding
// included; a button is never narrower than its design, and grows to hold a longer label.
// The note above the sign-in buttons as one line of the body font; a longer one grows.
inline constexpr int beta_note_line_units = 22;

struct LabelWidths {
    int back = 0;
    int official = 0;
    int beta = 0;
    int sign_in = 0;
    int reopen_browser = 0;
    int cancel_sign_in = 0;
    int install = 0;
    int get_new_installer = 0;
    int close = 0;
    friend bool operator==(const LabelWidths&, const LabelWidths&) = default;
};

// What the placement depends on; the window reads these from its state.
struct LayoutFacts {
    Screen screen = Screen::products;
    int product_count = 0;          // products of the loaded catalog (0 without one)
    bool catalog_loaded = false;
    bool self_update_offered = false;
    // The selected product (version screen only).
    int official_builds = 0;
    int beta_builds = 0;
    bool beta_available = false;
    bool betas_need_sign_in = false;
    Channel channel = Channel::official;
    BetaGate beta_gate = BetaGate::none;
    int shown_build_count = 0;
    int status_height = 24;         // units
    int beta_note_height = beta_note_line_units;  // units the note above the sign-in buttons takes
    LabelWidths labels;
    friend bool operator==(const LayoutFacts&, const LayoutFacts&) = default;
};

struct LayoutPlan {
    Placement back_button;
    Placement status_label;
    Placement product_list;
    Placement official_button;
    Placement beta_button;
    Placement version_list;
    Placement beta_note;
    Placement sign_in_button;
    Placement reopen_browser_button;
    Placement cancel_sign_in_button;
    Placement install_button;
    Placement close_button;

    UnitRect title_rect;
    UnitRect divider_rect;
    UnitRect list_rect;
    UnitRect code_rect;
    UnitRect status_rect;
    UnitRect progress_rect;

    // The sign-in prompt sits inside the empty version list's panel; the window then places
    // the code and the sign-in buttons itself, around the measured prompt text.
    bool prompt_in_list = false;
    int prompt_extra = 0;           // units the prompt needs under its text; 0 without a prompt
    bool prompt_waiting = false;    // the prompt shows the code and "Open the browser again"

    int content_bottom = 0;         // the client height in units
};

inline constexpr int client_width_units = 560;
inline constexpr int first_client_height_units = 360;  // until the first layout fits the content
inline constexpr int content_width_units = 512;        // the status line and the beta note wrap at it
inline constexpr int product_row_height = 48;
inline constexpr int version_row_height = 44;

LayoutPlan plan_layout(const LayoutFacts& facts);

// One MulDiv(value, dpi, 96) per coordinate and per size: a width is never the difference of
// two converted edges, so every control keeps its designed size at any DPI.
Placement to_pixels(const Placement& units, int dpi);
UnitRect to_pixels(const UnitRect& units, int dpi);

// The controls of a prompt drawn inside the list panel, placed in the space the prompt
// measurement reserved under its text (pixels in, pixels out).
struct PromptControls {
    UnitRect code_rect;             // empty unless waiting
    Placement sign_in_button;
    Placement reopen_browser_button;
    Placement cancel_sign_in_button;
};
PromptControls place_prompt_controls(const UnitRect& extra_area_px, bool waiting, int dpi,
                                     const LabelWidths& labels = {});

}  // namespace tw::app::ui
