#pragma once
// Which proxy a WinHTTP session takes to a host.

#include "client/support_log.h"

#include <windows.h>
#include <winhttp.h>

#include <string_view>

namespace tw::client::platform {

// No proxy for this machine's own names; otherwise the system's proxy settings
// (WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY), except under Wine, where that mode means no proxy at all.
DWORD session_access_type(std::string_view host);

// The same choice, as the support log names it.
support_log::ProxyChoice proxy_choice(std::string_view host);

}  // namespace tw::client::platform
