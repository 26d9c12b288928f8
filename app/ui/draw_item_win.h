#pragma once
// The owner-drawn controls: buttons, channel segments and list rows.

#include "app/ui/window_view_win.h"
#include "app/window_model.h"

#include <windows.h>

namespace tw::app::ui {

void draw_item(const WindowModel& model, const WindowView& view, const DRAWITEMSTRUCT& item);

}  // namespace tw::app::ui
