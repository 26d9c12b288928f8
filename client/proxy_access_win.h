#pragma once
// Which proxy a WinHTTP session takes to a host.

#include "client/support_log.h"

#include <windows.h>
#include <winhttp.h>

#include <string>
#include <string_view>

namespace tw::client::platform {

// No proxy for this machine's own names; otherwise the system's proxy settings
// (WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY), except under Wine, where that mode means no proxy at all.
DWORD session_access_type(std::string_view host);

// After an answer on `request` in a session of `access`: whether the system's configuration puts
// a proxy between this program and `url`'s host. Nothing named, nothing readable, or the host
// bypassed: no proxy, so nobody may take the user's Windows sign-in for one.
bool proxy_named_for(HINTERNET request, DWORD access, const std::string& url);

// The same choice, as the support log names it.
support_log::ProxyChoice proxy_choice(std::string_view host);

}  // namespace tw::client::platform
