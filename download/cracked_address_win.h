#pragma once
// A download address taken apart the way WinHTTP connects to it.

#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>

namespace tw::download {

struct CrackedAddress {
    bool secure = false;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;  // path, query and fragment as cracked; never empty
};

// Nothing for an address WinHTTP cannot read, or whose host is longer than 255 characters.
std::optional<CrackedAddress> crack_address(const std::string& url);

}  // namespace tw::download
