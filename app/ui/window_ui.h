#pragma once
// What the window procedure asks of the drawing and layout code.

#include "app/installer_app.h"

#include <windows.h>

namespace tw::app::ui {

int scale(const InstallerApp& app, int units);

void build_fonts(InstallerApp& app);   // deletes the old fonts first
void destroy_fonts(InstallerApp& app);
void build_icons(InstallerApp& app);   // window icons for the current dpi
void destroy_icons(InstallerApp& app);

void layout(InstallerApp& app);        // places every control and sizes the window

void install_hover_tracking(HWND button);
void paint_window(InstallerApp& app, HDC dc, const RECT& client);
void draw_item(InstallerApp& app, const DRAWITEMSTRUCT& item);

}  // namespace tw::app::ui
