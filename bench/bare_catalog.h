#pragma once
// What the bare programs share: the least a Windows program can do to have the catalog (one
// synchronous WinHTTP GET of the catalog address with the session options the Installer's
// transport sets, reading the body), and the clock they report by.

#include "client/http_rules.h"
#include "client/scoped_win.h"
#include "client/text_win.h"
#include "download/cracked_address_win.h"

#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

namespace bare {

inline constexpr char installer_user_agent[] = "tarnwick-installer/1.0.0 (windows; release)";

// The status, the whole body and when it was complete (read before any handle is closed), or what
// broke off (failure not empty).
struct Fetched {
    DWORD status = 0;
    std::string body;
    std::string failure;
    double complete_unix_ms = 0;
};

inline double unix_ms(FILETIME time)
{
    const auto ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<double>(ticks - 116444736000000000ULL) / 1e4;
}

inline double unix_ms_now()
{
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    return unix_ms(now);
}

inline double created_unix_ms()
{
    FILETIME created{}, ended{}, kernel{}, user{};
    return GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user) ? unix_ms(created) : 0;
}

inline void set_dword(HINTERNET handle, DWORD option, DWORD value)
{
    WinHttpSetOption(handle, option, &value, sizeof value);
}

inline Fetched broke(const char* what)
{
    Fetched fetched;
    fetched.failure = std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
    return fetched;
}

inline Fetched fetch_catalog(const tw::download::CrackedAddress& address)
{
    using tw::client::platform::InternetHandle;
    constexpr DWORD timeout_ms = tw::client::default_timeout_ms;
    Fetched fetched;
    // As the transport opens a session for a loopback host: no proxy, one limit for every step,
    // TLS 1.2 or 1.3, no redirect from https to http.
    const InternetHandle session(WinHttpOpen(tw::client::platform::widen(installer_user_agent).c_str(),
                                             tw::client::is_loopback_host(tw::client::platform::narrow(address.host))
                                                 ? WINHTTP_ACCESS_TYPE_NO_PROXY
                                                 : WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return broke("no session");
    WinHttpSetTimeouts(session.get(), timeout_ms, timeout_ms, timeout_ms, timeout_ms);
    set_dword(session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, timeout_ms);
    if (address.secure)
        set_dword(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS,
                  WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3);
    const InternetHandle connection(WinHttpConnect(session.get(), address.host.c_str(), address.port, 0));
    if (!connection)
        return broke("no connection");
    const InternetHandle request(WinHttpOpenRequest(connection.get(), L"GET", address.path.c_str(), nullptr,
                                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                    address.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        return broke("no request");
    set_dword(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP);
    const std::wstring headers = L"Accept: application/json\r\n";
    if (!WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0, 0,
                            0) ||
        !WinHttpReceiveResponse(request.get(), nullptr))
        return broke("no answer");
    DWORD size = sizeof fetched.status;
    WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &fetched.status, &size, WINHTTP_NO_HEADER_INDEX);
    std::vector<char> buffer(tw::client::receive_buffer_size);
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read))
            return broke("the body broke off");
        if (read == 0) {
            fetched.complete_unix_ms = unix_ms_now();
            return fetched;
        }
        fetched.body.append(buffer.data(), read);
    }
}

}  // namespace bare
