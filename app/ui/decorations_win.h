#pragma once
// The progress bar, the monogram tile and the spaced sign-in code.

#include "app/ui/palette.h"

#include <windows.h>

#include <string_view>

namespace tw::app::ui {

void draw_progress(HDC dc, const RECT& bar, double fraction, const Palette& palette);
void draw_monogram(HDC dc, const RECT& tile, HFONT font, int radius, const Palette& palette);
void draw_spaced_title(HDC dc, const RECT& card, std::wstring_view text, HFONT font, int radius,
                       const Palette& palette);

}  // namespace tw::app::ui
