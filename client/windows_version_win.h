#pragma once
// The version Windows reports of itself, unbent by the program's manifest.

#include <string>

namespace tw::client::platform {

// "10.0.19045", or empty when ntdll does not say.
std::string windows_version();

}  // namespace tw::client::platform
