#include "client/platform/proxy_access.h"

#include "client/http_rules.h"

namespace tw::client::platform {
namespace {

bool running_under_wine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

DWORD session_access_type(std::string_view host)
{
    if (is_loopback_host(host))
        return WINHTTP_ACCESS_TYPE_NO_PROXY;
    // Wine 8's WinHTTP reads no setting at all for AUTOMATIC_PROXY (not http_proxy, not the
    // WinHttpSettings value, not the user's settings or WPAD) and goes direct, so a Wine user
    // behind a proxy was never put through it; its DEFAULT_PROXY reads the WinHttpSettings
    // value and then http_proxy.
    static const bool wine = running_under_wine();
    return wine ? WINHTTP_ACCESS_TYPE_DEFAULT_PROXY : WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY;
}

support_log::ProxyChoice proxy_choice(std::string_view host)
{
    switch (session_access_type(host)) {
    case WINHTTP_ACCESS_TYPE_NO_PROXY:
        return support_log::ProxyChoice::none;
    case WINHTTP_ACCESS_TYPE_DEFAULT_PROXY:
        return support_log::ProxyChoice::system_default;
    default:
        return support_log::ProxyChoice::automatic;
    }
}

}  // namespace tw::client::platform
