#pragma once

#include "app/installer_app.h"

#include <windows.h>

namespace tw::app {

inline constexpr wchar_t window_class_name[] = L"TarnwickInstaller";
inline constexpr wchar_t window_title[] = L"Tarnwick Installer";

bool register_window_class(HINSTANCE instance);

// The one top-level window, sized for the system DPI; null when it cannot be created.
HWND create_main_window(HINSTANCE instance);

// Closing while work runs: refused while the installer is open, otherwise deferred until the
// running work has been cancelled and reports back.
void handle_close(InstallerApp& app);

// After a deferred Close, ends the window once the last running worker has reported: a download
// still writing when the process ends would leave its part on disk.
void finish_close_when_idle(InstallerApp& app);

}  // namespace tw::app
