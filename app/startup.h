#pragma once

#include <windows.h>

#include <string>

namespace tw::app {

// The running program's own path, as GetModuleFileNameW gives it in 260 characters.
std::wstring own_path();

// Everything from process start to the end of the message loop; returns the exit code.
int run_installer(HINSTANCE instance, int show_command);

}  // namespace tw::app
