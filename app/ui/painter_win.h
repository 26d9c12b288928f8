#pragma once
// The window's own painting: header, title, list panel, sign-in code and progress.

#include "app/ui/window_view_win.h"
#include "app/window_model.h"

#include <windows.h>

namespace tw::app::ui {

void paint_window(const WindowModel& model, const WindowView& view, HDC dc, const RECT& client);

}  // namespace tw::app::ui
