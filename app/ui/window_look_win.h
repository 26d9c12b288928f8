#pragma once
// Puts the system's current look on the window: the palette every painter reads, the brushes
// of the colour messages, and the frame and list attributes of the dark look.

#include "app/ui/window_view_win.h"

namespace tw::app::ui {

// At creation, once the lists exist.
void apply_system_look(WindowView& view);

// After the user switched themes or colours: applies the look again and repaints everything.
void follow_system_look(WindowView& view);

}  // namespace tw::app::ui
