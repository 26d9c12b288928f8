#pragma once

#include "app/installer_app.h"

#include <string_view>

namespace tw::app {

// The one way to tell the user something; the status row grows with a wrapped text.
void set_status(InstallerApp& app, std::wstring_view text, int kind);

// Measures the status text again, as after a change of font, and lays out when its height changed.
void refresh_status_height(InstallerApp& app);

// Enables controls for the current work and repaints the drawn buttons to match.
void update_controls(InstallerApp& app);

}  // namespace tw::app
