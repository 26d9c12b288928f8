#pragma once

#include <string>
#include <string_view>

namespace tw::app {

// Only ASCII letters and digits, lower-cased: "Studio Pro" and "studio-pro" both become "studiopro".
std::string normalize_product_key(std::string_view text);

// The product a renamed copy of the program opens: "TarnwickInstaller-Studio Pro (1).exe" gives
// "studiopro"; a name without the prefix, or with nothing after it, gives an empty hint.
std::string product_hint_from_path(std::wstring_view path);

}  // namespace tw::app
