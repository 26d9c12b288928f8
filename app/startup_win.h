#pragma once

#include "catalog/catalog_trust.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace tw::app {

// The running program's own path, as GetModuleFileNameW gives it in 260 characters.
std::wstring own_path();

// Everything from process start to the end of the message loop; returns the exit code. The site
// origin and the catalog trust are the ones the executable was built with.
int run_installer(HINSTANCE instance, int show_command, std::string_view site_origin,
                  const catalog::CatalogTrust& trust);

}  // namespace tw::app
