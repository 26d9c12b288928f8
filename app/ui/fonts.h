#pragma once

#include <string_view>

namespace tw::app::ui {

// True when a font family of this face name exists (names longer than 31 characters are cut).
bool font_installed(std::wstring_view face);

}  // namespace tw::app::ui
