#pragma once
// Which drawn button the pointer is over, kept in the view for the painters.

#include "app/ui/window_view_win.h"

#include <windows.h>

namespace tw::app::ui {

void install_hover_tracking(HWND button, WindowView& view);

}  // namespace tw::app::ui
