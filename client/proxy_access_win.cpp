#include "client/proxy_access_win.h"

#include "client/http_rules.h"
#include "client/scoped_win.h"
#include "client/text_win.h"
#include "client/proxy_rules.h"

#include <optional>

namespace tw::client::platform {
namespace {

bool running_under_wine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The strings WinHTTP allocated for a proxy answer, freed with it.
struct ProxyStrings {
    std::wstring proxies;
    std::wstring bypass;
};

std::wstring take_global(LPWSTR text)
{
    std::wstring copy = text ? text : L"";
    if (text)
        GlobalFree(text);
    return copy;
}

ProxyStrings take(WINHTTP_PROXY_INFO& info)
{
    ProxyStrings strings{take_global(info.lpszProxy), take_global(info.lpszProxyBypass)};
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY)
        strings.proxies.clear();
    return strings;
}

// What the request itself was given; nothing when WinHTTP keeps it to itself.
std::optional<ProxyStrings> request_proxy(HINTERNET request)
{
    WINHTTP_PROXY_INFO info{};
    DWORD size = sizeof info;
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_PROXY, &info, &size))
        return std::nullopt;
    ProxyStrings strings = take(info);
    if (strings.proxies.empty())
        return std::nullopt;
    return strings;
}

// WINHTTP_ACCESS_TYPE_DEFAULT_PROXY reads this configuration.
ProxyStrings default_proxy()
{
    WINHTTP_PROXY_INFO info{};
    if (!WinHttpGetDefaultProxyConfiguration(&info))
        return {};
    return take(info);
}

// WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY follows the user's settings: a named proxy, or whatever
// auto-detection or a configuration script names for the address.
ProxyStrings automatic_proxy(const std::wstring& url)
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&user))
        return {};
    const std::wstring script = take_global(user.lpszAutoConfigUrl);
    ProxyStrings named{take_global(user.lpszProxy), take_global(user.lpszProxyBypass)};
    if (!user.fAutoDetect && script.empty())
        return named;
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags = (user.fAutoDetect ? WINHTTP_AUTOPROXY_AUTO_DETECT : 0) |
                      (script.empty() ? 0 : WINHTTP_AUTOPROXY_CONFIG_URL);
    options.dwAutoDetectFlags = user.fAutoDetect ? WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A : 0;
    options.lpszAutoConfigUrl = script.empty() ? nullptr : script.c_str();
    const InternetHandle lookup(
        WinHttpOpen(L"", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    WINHTTP_PROXY_INFO info{};
    if (!lookup || !WinHttpGetProxyForUrl(lookup.get(), url.c_str(), &options, &info))
        return named;
    return take(info);
}

std::wstring host_of(const std::wstring& url)
{
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    if (url.empty() || !WinHttpCrackUrl(url.c_str(), 0, 0, &parts) || !parts.lpszHostName)
        return {};
    return std::wstring(parts.lpszHostName, parts.dwHostNameLength);
}

}  // namespace

bool proxy_named_for(HINTERNET request, DWORD access, const std::string& url)
{
    if (access == WINHTTP_ACCESS_TYPE_NO_PROXY)
        return false;
    const std::wstring wide_url = widen(url);
    const std::wstring host = host_of(wide_url);
    std::optional<ProxyStrings> proxy = request_proxy(request);
    if (!proxy)
        proxy = access == WINHTTP_ACCESS_TYPE_DEFAULT_PROXY ? default_proxy() : automatic_proxy(wide_url);
    return proxy_named_for_host(proxy->proxies, proxy->bypass, host);
}

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
