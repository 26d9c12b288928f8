#pragma once
// What the layout needs to know of the window's model.

#include "app/ui/layout.h"
#include "app/window_model.h"

namespace tw::app::ui {

// `status_height`: units the status text takes, as the window measured it in its font.
// `beta_note_height`: the same for the note above the sign-in buttons.
LayoutFacts layout_facts(const WindowModel& model, int status_height, const LabelWidths& labels = {},
                         int beta_note_height = beta_note_line_units);

}  // namespace tw::app::ui
