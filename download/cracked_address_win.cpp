#include "download/cracked_address_win.h"

#include "client/http_rules.h"
#include "client/text_win.h"

namespace tw::download {

std::optional<CrackedAddress> crack_address(const std::string& url)
{
    // A query straight after the host would otherwise be lost by some WinHTTP builds.
    const std::wstring wide = client::platform::widen(client::with_root_path(url));
    wchar_t host[256] = {};
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = ARRAYSIZE(host);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (wide.empty() || !WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts))
        return std::nullopt;
    CrackedAddress address;
    address.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    address.host.assign(host, parts.dwHostNameLength);
    address.port = parts.nPort;
    if (parts.lpszUrlPath)
        address.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo)
        address.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (address.path.empty())
        address.path = L"/";
    return address;
}

}  // namespace tw::download
