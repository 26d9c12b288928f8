#pragma once
// Reads whether high-contrast mode is on and the system colours it brings.

#include "app/ui/palette.h"

namespace tw::app::ui {

using SystemLookReader = SystemLook (*)();

// The mode and colours through the current reader.
SystemLook read_system_look();

// The colours GetSysColor gives now, whatever the mode.
SystemColours current_system_colours();

// Tests replace the reader to see the window in high contrast where the system cannot be put in
// that mode; null restores the real one.
void set_system_look_reader(SystemLookReader reader);

}  // namespace tw::app::ui
