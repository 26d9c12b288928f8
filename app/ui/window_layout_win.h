#pragma once
// Applies the planned layout to the controls and sizes the window.

#include "app/ui/window_view_win.h"
#include "app/window_model.h"

namespace tw::app::ui {

void layout(const WindowModel& model, WindowView& view);

}  // namespace tw::app::ui
