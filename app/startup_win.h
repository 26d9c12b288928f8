#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tw::app {

// The running program's own path, as GetModuleFileNameW gives it in 260 characters.
std::wstring own_path();

// Everything from process start to the end of the message loop; returns the exit code. The site
// origin is the one the executable was built for.
int run_installer(HINSTANCE instance, int show_command, std::string_view site_origin);

}  // namespace tw::app
