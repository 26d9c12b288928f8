#pragma once
// UTF-8 everywhere but at Windows calls. Invalid sequences become U+FFFD; empty in, empty out.

#include <string>
#include <string_view>

namespace tw::client::platform {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace tw::client::platform
