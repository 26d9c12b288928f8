#pragma once
// The rows of the product and version lists.

#include "app/ui/window_view_win.h"

#include <windows.h>

#include <string_view>

namespace tw::app::ui {

// One row of a list being drawn, and the look it is drawn in.
struct RowCanvas {
    HDC dc;
    RECT row;
    bool selected;
    int dpi;
    const Palette& palette;
};

// Returns the content rectangle the row's texts go into.
RECT draw_row_background(const RowCanvas& canvas);
void draw_product_row(const RowCanvas& canvas, std::wstring_view name, const Fonts& fonts);

struct VersionRowText {
    std::wstring_view version;
    std::wstring_view size;
    bool latest;  // the row carries the badge
};
void draw_version_row(const RowCanvas& canvas, const VersionRowText& content, const Fonts& fonts);

}  // namespace tw::app::ui
