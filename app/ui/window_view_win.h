#pragma once
// The Win32 half of the window: its controls, the GDI resources it draws with, and the pixel
// areas the last layout gave the painter. The model says what is shown; this is how.

#include "app/controls.h"
#include "app/ui/draw_primitives_win.h"
#include "app/ui/layout.h"
#include "app/ui/palette.h"
#include "app/ui/live_region_win.h"
#include "app/ui_state.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw::app::ui {

struct Controls {
    HWND status_label = nullptr;
    HWND product_list = nullptr;
    HWND back_button = nullptr;
    HWND official_button = nullptr;
    HWND beta_button = nullptr;
    HWND version_list = nullptr;
    HWND beta_note = nullptr;
    HWND sign_in_button = nullptr;
    HWND reopen_browser_button = nullptr;
    HWND cancel_sign_in_button = nullptr;
    HWND install_button = nullptr;
    HWND close_button = nullptr;
    HWND progress_bar = nullptr;
};

// The fonts the painters draw with; WindowResources owns them.
struct Fonts {
    HFONT body = nullptr;
    HFONT title = nullptr;
    HFONT heading = nullptr;
    HFONT button = nullptr;
    HFONT row_detail = nullptr;
    HFONT badge = nullptr;
    HFONT code = nullptr;
    HFONT label = nullptr;
    HFONT chevron = nullptr;
    HFONT row_title = nullptr;
    HFONT segment = nullptr;
    HFONT segment_selected = nullptr;
    HFONT subtitle = nullptr;
    HFONT icon = nullptr;
};

// A memory DC with a bitmap of the client's size, kept between paints.
class BackBuffer {
public:
    // False when GDI has no room for one; the paint is then skipped.
    bool ensure(HDC screen, int width, int height);
    HDC dc() const { return dc_ ? dc_->get() : nullptr; }

private:
    // The bitmap is declared first so that it goes after the DC that holds it.
    GdiOwner<HBITMAP> bitmap_;
    std::optional<client::platform::MemoryDc> dc_;
    int width_ = 0;
    int height_ = 0;
};

// Everything GDI the window made; each part frees itself.
struct WindowResources {
    Fonts fonts;
    std::vector<GdiOwner<HFONT>> owned_fonts;
    int body_font_px = 15;
    GdiOwner<HBRUSH> window_brush;
    GdiOwner<HBRUSH> list_brush;
    client::platform::IconHandle big_icon;
    client::platform::IconHandle small_icon;
    BackBuffer back_buffer;
};

// Where the last layout put the painted parts, in pixels.
struct PaintAreas {
    RECT title_rect{};
    RECT divider_rect{};
    RECT list_rect{};
    RECT code_rect{};
    RECT status_rect{};
    RECT progress_rect{};
    bool prompt_in_list = false;
    int prompt_extra = 0;
    int client_height = 0;
};

// What the painter shows of the model besides the layout's facts.
struct PaintedFacts {
    Sentence prompt;
    std::wstring sign_in_code;
    int selected_product = -1;
    bool busy = false;
    friend bool operator==(const PaintedFacts&, const PaintedFacts&) = default;
};

// What the controls were last given, so that a render touches only what changed: refilling a
// list loses its scroll position, and a layout repaints the whole window.
struct Rendered {
    std::vector<std::wstring> product_rows;
    std::vector<std::wstring> version_rows;
    Sentence beta_note;
    Sentence install_label;
    Sentence status_text;
    StatusKind status_kind = StatusKind::information;
    LayoutFacts facts;
    PaintedFacts painted;
    bool laid_out = false;
    ControlStates controls;
    bool controls_known = false;
    double progress = 0.0;
};

struct WindowView {
    HWND window = nullptr;
    int dpi = 96;
    Palette palette = dark_palette();
    bool dark_frame = false;  // the frame and lists were given the dark attributes
    Controls controls;
    LiveRegion status_region;
    WindowResources resources;
    PaintAreas areas;
    HWND hovered_button = nullptr;
    HWND focused_list = nullptr;
    int status_height = 24;  // units: the measured status text
    int beta_note_height = beta_note_line_units;  // units: the measured beta note
    LabelWidths label_widths;  // the buttons' labels in the fonts and language, measured with them
    Rendered rendered;
};

int scale(const WindowView& view, int units);

}  // namespace tw::app::ui
