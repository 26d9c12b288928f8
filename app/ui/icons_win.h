#pragma once
// The window's icons, drawn from the monogram for its DPI.

#include "app/ui/window_view_win.h"

namespace tw::app::ui {

void build_icons(WindowView& view);

}  // namespace tw::app::ui
