#pragma once
// The download's progress as a real progress bar control, so that screen readers find a progress
// bar with its value, painted by the house painter so that it looks like the rest of the window.

#include "app/ui/palette.h"

#include <windows.h>

namespace tw::app::ui {

// The control's range: thousandths, as a ProgressReport carries them.
constexpr int progress_steps = 1000;

// A hidden msctls_progress32 child with id `id`, for the parent to place; null when it cannot be
// made. Needs the progress class registered (InitCommonControlsEx with ICC_PROGRESS_CLASS). It paints
// in `palette`, which must outlive it (the window's own, which follows a switch to high contrast).
HWND create_progress_bar(HWND parent, int id, const Palette& palette);

// Sets the control's value from a fraction in [0, 1]; the control repaints itself.
void show_progress(HWND bar, double fraction);

}  // namespace tw::app::ui
