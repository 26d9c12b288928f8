#pragma once
// Starting a checked download through the shell: a product installer elevated and waited for,
// a new Installer plainly and left running.

#include "download/run_result.h"

#include <string>

namespace tw::download {

// Blocks until the installer ends, with no time limit.
RunResult run_installer_elevated(const std::wstring& path);

// Returns once the shell has started the file, which is left running; never declined.
RunResult run_new_installer(const std::wstring& path);

}  // namespace tw::download
