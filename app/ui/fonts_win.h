#pragma once
// The window's fonts, made for its DPI.

#include "app/ui/window_view_win.h"

#include <string_view>

namespace tw::app::ui {

// True when a font family of this face name exists (names longer than 31 characters are cut).
bool font_installed(std::wstring_view face);

// The old fonts go once the controls have the new ones.
void build_fonts(WindowView& view);

// The buttons' labels, in the shown language, measured in the view's fonts (build_fonts calls it).
LabelWidths measure_labels(const WindowView& view);

}  // namespace tw::app::ui
