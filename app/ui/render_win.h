#pragma once
// Makes the window show the model: the lists' rows, the texts, which controls are live, the
// status line and, when anything it depends on changed, the layout.

#include "app/ui/window_view_win.h"
#include "app/window_model.h"

#include <windows.h>

#include <string_view>

namespace tw::app::ui {

void render(const WindowModel& model, WindowView& view);

// Measures the status text and the beta note again, as after a change of font.
void remeasure_status(const WindowModel& model, WindowView& view);

// Units `text` takes in `font` wrapped at content_width_units, the width the status line and the
// beta note wrap at, as the window measures its labels.
int wrapped_height_units(HDC dc, std::wstring_view text, HFONT font, int dpi);

}  // namespace tw::app::ui
