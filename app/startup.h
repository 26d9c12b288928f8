#pragma once

#include <windows.h>

namespace tw::app {

// Everything from process start to the end of the message loop; returns the exit code.
int run_installer(HINSTANCE instance, int show_command);

}  // namespace tw::app
