#pragma once
// What the layout needs to know of the window's model.

#include "app/ui/layout.h"
#include "app/window_model.h"

namespace tw::app::ui {

// `status_height`: units the status text takes, as the window measured it in its font.
LayoutFacts layout_facts(const WindowModel& model, int status_height, const LabelWidths& labels = {});

}  // namespace tw::app::ui
