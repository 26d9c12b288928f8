#pragma once
// Which proxy a WinHTTP session takes to a host.

#include <windows.h>
#include <winhttp.h>

#include <string_view>

namespace tw::client::platform {

// No proxy for this machine's own names; otherwise the system's proxy settings
// (WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY), except under Wine, where that mode means no proxy at all.
DWORD session_access_type(std::string_view host);

}  // namespace tw::client::platform
