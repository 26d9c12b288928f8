#pragma once
// The painters of the window's drawn parts. Lengths are passed in pixels already scaled;
// `dpi` is given where a painter adds fixed insets of its own.

#include "app/installer_app.h"
#include "app/ui/theme.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace tw::app::ui {

enum class ButtonStyle { primary, secondary, quiet };

struct ButtonState {
    bool disabled = false;
    bool pressed = false;
    bool hovered = false;
    bool focused = false;
    bool copied = false;  // the pixels under the button were copied in: its surroundings show through
};

void draw_button(HDC dc, const RECT& rect, std::wstring_view text, ButtonStyle style, const ButtonState& state,
                 HFONT font, int radius, Colour background, int dpi);

void draw_segment(HDC dc, const RECT& rect, std::wstring_view text, bool selected, bool hovered, bool focused,
                  HFONT font, HFONT selected_font, Colour background, int dpi);

// Returns the content rectangle the row's texts go into.
RECT draw_row_background(HDC dc, const RECT& row, bool selected, int dpi);
void draw_product_row(HDC dc, const RECT& row, std::wstring_view name, bool selected, const Fonts& fonts, int dpi);
void draw_version_row(HDC dc, const RECT& row, std::wstring_view version, std::wstring_view size, bool latest,
                      bool selected, const Fonts& fonts, int dpi);

void draw_progress(HDC dc, const RECT& bar, double fraction);
void draw_monogram(HDC dc, const RECT& tile, HFONT font, int radius);
void draw_spaced_title(HDC dc, const RECT& card, std::wstring_view text, HFONT font, int radius);

// Where the parts of the sign-in prompt go inside a panel; `extra` is the room (pixels) the
// prompt needs under its text for the code and buttons, 0 for none.
struct PromptGeometry {
    RECT badge{};
    RECT text{};
    RECT extra{};  // empty when extra is 0
};
// The message of the sign-in prompt in the empty Beta list: the beta note while a sign-in waits.
std::wstring beta_prompt_message(const InstallerApp& app);

PromptGeometry measure_prompt(HDC dc, const RECT& panel, std::wstring_view message, HFONT font, int body_font_px,
                              int extra, int dpi);
void draw_prompt_panel(HDC dc, const RECT& panel, wchar_t glyph, std::wstring_view message, HFONT icon_font,
                       HFONT font, int body_font_px, int extra, int dpi);

}  // namespace tw::app::ui
