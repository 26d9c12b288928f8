#pragma once
// The rows of the product and version lists.

#include "app/ui/window_view_win.h"

#include <windows.h>

#include <string_view>

namespace tw::app::ui {

// Returns the content rectangle the row's texts go into.
RECT draw_row_background(HDC dc, const RECT& row, bool selected, int dpi, const Palette& palette);
void draw_product_row(HDC dc, const RECT& row, std::wstring_view name, bool selected, const Fonts& fonts, int dpi,
                      const Palette& palette);
void draw_version_row(HDC dc, const RECT& row, std::wstring_view version, std::wstring_view size, bool latest,
                      bool selected, const Fonts& fonts, int dpi, const Palette& palette);

}  // namespace tw::app::ui
