#pragma once
// Makes the window show the model: the lists' rows, the texts, which controls are live, the
// status line and, when anything it depends on changed, the layout.

#include "app/ui/window_view_win.h"
#include "app/window_model.h"

namespace tw::app::ui {

void render(const WindowModel& model, WindowView& view);

// Measures the status text again, as after a change of font.
void remeasure_status(const WindowModel& model, WindowView& view);

}  // namespace tw::app::ui
